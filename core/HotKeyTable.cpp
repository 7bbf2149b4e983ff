#include "HotKeyTable.h"

namespace {

constexpr int kFirstFunctionKey = 0x70; // VK_F1
constexpr int kFirstKeypadDigit = 0x60; // VK_NUMPAD0
constexpr int kFirstKeypadSign = 0x6A; // VK_MULTIPLY

// The keypad signs from VK_MULTIPLY to VK_DIVIDE: their combo texts and their log names.
constexpr const char *kSignTexts[] = {" *", " +", " Enter", " -", " .", " /"};
constexpr const char *kSignNames[] = {"Num *", "Num +", "Num Separator", "Num -", "Num .", "Num /"};

QString keyName(int virtualKey)
{
    if (virtualKey >= kFirstFunctionKey && virtualKey <= kFirstFunctionKey + 9)
        return QStringLiteral("F%1").arg(virtualKey - kFirstFunctionKey + 1);
    if ((virtualKey >= '0' && virtualKey <= '9') || (virtualKey >= 'A' && virtualKey <= 'Z'))
        return QString(QChar(virtualKey));
    if (virtualKey >= kFirstKeypadDigit && virtualKey <= kFirstKeypadDigit + 9)
        return QStringLiteral("Num %1").arg(virtualKey - kFirstKeypadDigit);
    if (virtualKey >= kFirstKeypadSign && virtualKey <= kFirstKeypadSign + 5)
        return QLatin1String(kSignNames[virtualKey - kFirstKeypadSign]);
    return QStringLiteral("0x%1").arg(virtualKey, 2, 16, QLatin1Char('0'));
}

} // namespace

namespace HotKeyTable {

QStringList keyTexts()
{
    QStringList texts;
    for (int n = 1; n <= 10; ++n)
        texts.append(QStringLiteral(" VK_F%1").arg(n));
    for (char digit = '0'; digit <= '9'; ++digit)
        texts.append(QStringLiteral(" %1").arg(QLatin1Char(digit)));
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        texts.append(QStringLiteral(" %1").arg(QLatin1Char(letter)));
    for (int n = 0; n <= 9; ++n)
        texts.append(QStringLiteral(" NUMBER_%1").arg(n));
    for (const char *sign : kSignTexts)
        texts.append(QLatin1String(sign));
    return texts;
}

int virtualKey(int index)
{
    if (index < 0)
        return 0;
    if (index <= 9)
        return kFirstFunctionKey + index;
    if (index <= 19)
        return index + 38; // '0' ... '9'
    if (index <= 45)
        return index + 45; // 'A' ... 'Z'
    if (index <= 55)
        return index + 50; // VK_NUMPAD0 ... VK_NUMPAD9
    if (index < kKeyCount)
        return kFirstKeypadSign + index - 56;
    return 0;
}

int modifierFlags(int altSetting)
{
    return altSetting == 1 ? kModControl : kModAlt;
}

QString combinationText(int modifiers, int virtualKey)
{
    QString text;
    if (modifiers & kModControl)
        text += QStringLiteral("Ctrl+");
    if (modifiers & kModAlt)
        text += QStringLiteral("Alt+");
    return text + keyName(virtualKey);
}

} // namespace HotKeyTable
