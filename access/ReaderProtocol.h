// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

// What the Access reader (vokabo-mdb-reader) writes on its standard output: frames of
//     TAG SP LENGTH LF PAYLOAD LF
// with a one-letter tag, the payload's length in decimal bytes, and the payload as it is. In order:
//     V "vokabo-mdb-reader 1"               always first
//     O "missing|not-access|no-reader" TAB detail
//                                           the file cannot be opened; then Z
//     T table-name TAB column-count         a word table (word1 ... word20 in any case), in the file's order
//     S text / N ""                         its columns 1 and 2 of each record, in Access's order: a text in
//                                           UTF-8, or Null; two frames a record
//     E reason                              the table cannot be read to its end (after its T, instead of
//                                           the rest of its records)
//     Z ""                                  the end: without it, the output is not whole
namespace ReaderProtocol {

inline constexpr char Version[] = "vokabo-mdb-reader 1";
inline constexpr char Hello = 'V';
inline constexpr char CannotOpen = 'O';
inline constexpr char Table = 'T';
inline constexpr char Text = 'S';
inline constexpr char Null = 'N';
inline constexpr char TableError = 'E';
inline constexpr char End = 'Z';

inline QByteArray frame(char tag, const QByteArray& payload)
{
    return tag + (' ' + QByteArray::number(payload.size())) + '\n' + payload + '\n';
}

} // namespace ReaderProtocol
