#include "shortcut/KeyCodeFormatter.h"

#include <utility>

#include "platform/VirtualKeyMap.h"

namespace framlet::KeyCodeFormatter {
namespace {

QHash<std::uint32_t, QString> makeNames() {
    const std::pair<std::uint32_t, const char16_t*> labels[] = {
        {0, u"A"},      {1, u"S"},       {2, u"D"},      {3, u"F"},    {4, u"H"},
        {5, u"G"},      {6, u"Z"},       {7, u"X"},      {8, u"C"},    {9, u"V"},
        {11, u"B"},     {12, u"Q"},      {13, u"W"},     {14, u"E"},   {15, u"R"},
        {16, u"Y"},     {17, u"T"},      {18, u"1"},     {19, u"2"},   {20, u"3"},
        {21, u"4"},     {22, u"6"},      {23, u"5"},     {25, u"9"},   {26, u"7"},
        {28, u"8"},     {29, u"0"},      {31, u"O"},     {32, u"U"},   {34, u"I"},
        {35, u"P"},     {36, u"Return"}, {37, u"L"},     {38, u"J"},   {40, u"K"},
        {43, u","},     {44, u"/"},      {45, u"N"},     {46, u"M"},   {47, u"."},
        {48, u"Tab"},   {49, u"Space"},  {50, u"`"},     {96, u"F5"},  {97, u"F6"},
        {98, u"F7"},    {99, u"F3"},     {100, u"F8"},   {101, u"F9"}, {103, u"F11"},
        {109, u"F10"},  {111, u"F12"},   {118, u"F4"},   {120, u"F2"}, {122, u"F1"},
        {123, u"Left"}, {124, u"Right"}, {125, u"Down"}, {126, u"Up"},
    };
    QHash<std::uint32_t, QString> names;
    for (const auto& [code, label] : labels) {
        names.insert(code, QString::fromUtf16(label));
    }
    return names;
}

}  // namespace

const QHash<std::uint32_t, QString>& names() {
    static const QHash<std::uint32_t, QString> table = makeNames();
    return table;
}

QString key(std::uint32_t keyCode) {
    return names().value(keyCode, QStringLiteral("Key %1").arg(keyCode));
}

QStringList modifiers(std::uint32_t carbonModifiers) {
    const std::pair<std::uint32_t, QString> words[] = {
        {VirtualKeyMap::commandKey, QStringLiteral("Super")},
        {VirtualKeyMap::controlKey, QStringLiteral("Ctrl")},
        {VirtualKeyMap::optionKey, QStringLiteral("Alt")},
        {VirtualKeyMap::shiftKey, QStringLiteral("Shift")},
    };
    QStringList names;
    for (const auto& [bit, word] : words) {
        if (carbonModifiers & bit) {
            names.append(word);
        }
    }
    return names;
}

QString text(HotKeyBinding binding) {
    return (modifiers(binding.modifiers) << key(binding.keyCode)).join(u'+');
}

std::uint32_t carbonModifiers(Qt::KeyboardModifiers flags) {
    std::uint32_t mask = 0;
    if (flags & Qt::MetaModifier) {
        mask |= VirtualKeyMap::commandKey;
    }
    if (flags & Qt::ShiftModifier) {
        mask |= VirtualKeyMap::shiftKey;
    }
    if (flags & Qt::AltModifier) {
        mask |= VirtualKeyMap::optionKey;
    }
    if (flags & Qt::ControlModifier) {
        mask |= VirtualKeyMap::controlKey;
    }
    return mask;
}

}  // namespace framlet::KeyCodeFormatter
