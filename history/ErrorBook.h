// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DrillEvent.h"
#include "WordStore.h"

#include <QByteArray>
#include <QHash>
#include <vector>

// A word's identity in the learning record: the ciphertext bytes of its prompt and answer. Enciphering is
// deterministic, so the same word imported into another unit, or again into its own, has the same key;
// and the key holds no clear text.
struct WordKey {
    QByteArray prompt;
    QByteArray answer;
    bool operator==(const WordKey&) const = default;
};
size_t qHash(const WordKey& key, size_t seed = 0) noexcept;
WordKey wordKey(const QString& promptField, const QString& answerField);

struct ErrorBookEntry {
    WordKey key;
    WordLocation location; // where the word was last met
    int streak = 0;        // clean answers in error-book drills since it was last missed
    QDateTime since;       // when it entered the book
};

// What one event did to the error book, for the file to follow.
struct ErrorBookChange {
    enum class Kind { None, Put, Remove };
    Kind kind = Kind::None;
    ErrorBookEntry entry;
};

// The error book (错题本): the words passed over or revealed, until they have been typed correctly, with
// the answer hidden, in two error-book drills in a row, or deleted as mastered.
class ErrorBook {
public:
    static constexpr int CleanDrillsToLeave = 2;

    ErrorBook() = default;
    // Entries in the order they entered the book.
    explicit ErrorBook(const std::vector<ErrorBookEntry>& entries);

    ErrorBookChange apply(const DrillEvent& event);

    int size() const { return int(slots_.size()); }
    bool contains(const WordKey& key) const { return slots_.contains(key); }
    // In the order they entered the book.
    std::vector<ErrorBookEntry> entries() const;

    // Where the book's words are in the word database now, in the book's order: the record last met when
    // it still holds the word, else the first record that does. Words that are in no unit any more are
    // left out (and kept in the book, in case they come back).
    std::vector<WordLocation> locate(const std::vector<StoredWord>& words) const;

private:
    struct Slot {
        ErrorBookEntry entry;
        qint64 order = 0;
    };
    QHash<WordKey, Slot> slots_;
    qint64 nextOrder_ = 0;
};

// locate() for entries read from the file.
std::vector<WordLocation> locateWords(const std::vector<ErrorBookEntry>& entries,
                                      const std::vector<StoredWord>& words);
