#include "cripto.h"

#include <array>

namespace kiv {

namespace {

constexpr int kAlphabetSize = 191;
// Codes past the last character of either alphabet are never shifted.
constexpr int kTableSize = 0x105;
constexpr std::array<char16_t, 5> kTakenOut = {u' ', u'\'', u'*', 0x00A0, 0x00AD};
constexpr char16_t kFirstExtra = 0x0100;
constexpr char16_t kFirstNonCharacter = 0xFDD0;

struct Alphabets
{
    std::array<char16_t, kAlphabetSize> plain{};
    std::array<char16_t, kAlphabetSize> scrambled{};
    std::array<int, kTableSize> plainIndex{};
    std::array<int, kTableSize> scrambledIndex{};

    Alphabets()
    {
        plainIndex.fill(-1);
        scrambledIndex.fill(-1);
        int p = 0;
        int s = 0;
        for (char16_t c = 0x20; c <= 0xFF; ++c) {
            if (c >= 0x7F && c < 0xA0)
                continue;
            plainIndex[c] = p;
            plain[p++] = c;
            if (!isTakenOut(c)) {
                scrambledIndex[c] = s;
                scrambled[s++] = c;
            }
        }
        for (char16_t c = kFirstExtra; s < kAlphabetSize; ++c) {
            scrambledIndex[c] = s;
            scrambled[s++] = c;
        }
    }

    static bool isTakenOut(char16_t c)
    {
        for (char16_t t : kTakenOut)
            if (t == c)
                return true;
        return false;
    }
};

const Alphabets &alphabets()
{
    static const Alphabets instance;
    return instance;
}

int shiftAt(qsizetype position)
{
    return 1 + int((37 * position + 53) % (kAlphabetSize - 1));
}

int indexIn(const std::array<int, kTableSize> &table, char16_t c)
{
    return c < kTableSize ? table[c] : -1;
}

// The characters outside the typed alphabet: kept, except the three small
// groups that trade places so the mapping stays one-to-one.
char16_t outsideForward(char16_t c)
{
    if (c >= kFirstExtra && c < kFirstExtra + kTakenOut.size())
        return kFirstNonCharacter + (c - kFirstExtra);
    if (c >= kFirstNonCharacter && c < kFirstNonCharacter + kTakenOut.size())
        return kTakenOut[c - kFirstNonCharacter];
    return c;
}

char16_t outsideBackward(char16_t c)
{
    for (std::size_t i = 0; i < kTakenOut.size(); ++i)
        if (kTakenOut[i] == c)
            return char16_t(kFirstNonCharacter + i);
    if (c >= kFirstNonCharacter && c < kFirstNonCharacter + kTakenOut.size())
        return kFirstExtra + (c - kFirstNonCharacter);
    return c;
}

} // namespace

QString CriptoPlus(const QString &password)
{
    const Alphabets &a = alphabets();
    QString stored(password.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < password.size(); ++i) {
        const char16_t c = password.at(i).unicode();
        const int index = indexIn(a.plainIndex, c);
        stored[i] = index < 0 ? QChar(outsideForward(c))
                              : QChar(a.scrambled[(index + shiftAt(i)) % kAlphabetSize]);
    }
    return stored;
}

QString UncriptoPlus(const QString &stored)
{
    const Alphabets &a = alphabets();
    QString password(stored.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < stored.size(); ++i) {
        const char16_t c = stored.at(i).unicode();
        const int index = indexIn(a.scrambledIndex, c);
        password[i] = index < 0
            ? QChar(outsideBackward(c))
            : QChar(a.plain[(index - shiftAt(i) + kAlphabetSize) % kAlphabetSize]);
    }
    return password;
}

} // namespace kiv
