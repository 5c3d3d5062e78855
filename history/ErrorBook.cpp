// SPDX-License-Identifier: GPL-3.0-or-later
#include "ErrorBook.h"

#include "FieldCipher.h"

#include <algorithm>

size_t qHash(const WordKey& key, size_t seed) noexcept
{
    return qHashMulti(seed, key.prompt, key.answer);
}

WordKey wordKey(const QString& promptField, const QString& answerField)
{
    return {fieldCiphertext(promptField), fieldCiphertext(answerField)};
}

ErrorBook::ErrorBook(const std::vector<ErrorBookEntry>& entries)
{
    for (const ErrorBookEntry& entry : entries)
        slots_.insert(entry.key, {entry, nextOrder_++});
}

ErrorBookChange ErrorBook::apply(const DrillEvent& event)
{
    using Kind = DrillEvent::Kind;
    if (event.kind == Kind::Started || event.kind == Kind::Completed)
        return {};
    const WordKey key = wordKey(event.word.prompt, event.word.answer);
    auto slot = slots_.find(key);
    switch (event.kind) {
    case Kind::Passed:
    case Kind::Revealed:
        if (slot == slots_.end()) {
            slot = slots_.insert(key, {{key, event.word.location, 0, event.at}, nextOrder_++});
        } else {
            slot->entry.streak = 0;
            slot->entry.location = event.word.location;
        }
        return {ErrorBookChange::Kind::Put, slot->entry};
    case Kind::Answered:
        // Only a drill of the error book itself shows that the word is known, and only when the answer was
        // not on screen; one that was breaks the row.
        if (slot == slots_.end() || event.drill != DrillKind::ErrorBook)
            return {};
        slot->entry.location = event.word.location;
        slot->entry.streak = event.answerShown ? 0 : slot->entry.streak + 1;
        if (slot->entry.streak < CleanDrillsToLeave)
            return {ErrorBookChange::Kind::Put, slot->entry};
        break;
    case Kind::Deleted:
        if (slot == slots_.end())
            return {};
        break;
    default:
        return {};
    }
    const ErrorBookEntry removed = slot->entry;
    slots_.erase(slot);
    return {ErrorBookChange::Kind::Remove, removed};
}

std::vector<ErrorBookEntry> ErrorBook::entries() const
{
    std::vector<const Slot*> ordered;
    ordered.reserve(slots_.size());
    for (const Slot& slot : slots_)
        ordered.push_back(&slot);
    std::sort(ordered.begin(), ordered.end(),
              [](const Slot* a, const Slot* b) { return a->order < b->order; });
    std::vector<ErrorBookEntry> result;
    result.reserve(ordered.size());
    for (const Slot* slot : ordered)
        result.push_back(slot->entry);
    return result;
}

std::vector<WordLocation> ErrorBook::locate(const std::vector<StoredWord>& words) const
{
    return locateWords(entries(), words);
}

std::vector<WordLocation> locateWords(const std::vector<ErrorBookEntry>& entries,
                                      const std::vector<StoredWord>& words)
{
    QHash<WordKey, const ErrorBookEntry*> wanted;
    for (const ErrorBookEntry& entry : entries)
        wanted.insert(entry.key, &entry);
    QHash<WordKey, WordLocation> found;
    for (const StoredWord& word : words) {
        const WordKey key = wordKey(word.prompt, word.answer);
        const auto entry = wanted.constFind(key);
        if (entry == wanted.cend())
            continue;
        if (!found.contains(key) || word.location == (*entry)->location)
            found.insert(key, word.location);
    }
    std::vector<WordLocation> result;
    for (const ErrorBookEntry& entry : entries) {
        if (const auto location = found.constFind(entry.key); location != found.cend())
            result.push_back(*location);
    }
    return result;
}
