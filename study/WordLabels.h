// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Colours.h"

// The study window's two word labels: Label4, the Chinese meaning, and Label5, the English answer. Each
// shows its word on one line in its font, or smaller when the word is wider than the label.
namespace WordLabels {

inline constexpr int PromptWidth = 153;
inline constexpr int AnswerWidth = 129;

inline QFont font()
{
    return songFont(14.25, true);
}

} // namespace WordLabels
