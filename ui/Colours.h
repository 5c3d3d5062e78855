// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ReviewBands.h"

#include <QColor>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QString>
#include <cmath>

// Colour numbers as the windows give them: &H00BBGGRR, red in the lowest byte.
inline QColor colourOfNumber(quint32 number)
{
    return QColor(int(number & 0xFF), int((number >> 8) & 0xFF), int((number >> 16) & 0xFF));
}

// The colour number of a review band on the menu's unit buttons and the statistics table.
inline quint32 bandColourNumber(ReviewBand band)
{
    switch (band) {
    case ReviewBand::Best:
        return 0x0000C000;
    case ReviewBand::Good:
        return 0x00C00000;
    case ReviewBand::Fair:
        return 0x0000C0C0;
    case ReviewBand::Poor:
        break;
    }
    return 0x000000C0;
}

// The legend's caption of a band.
inline QString bandCaption(ReviewBand band)
{
    switch (band) {
    case ReviewBand::Best:
        return QStringLiteral("最佳");
    case ReviewBand::Good:
        return QStringLiteral("良好");
    case ReviewBand::Fair:
        return QStringLiteral("一般");
    case ReviewBand::Poor:
        break;
    }
    return QStringLiteral("较差");
}

// The font family that the windows ask for; the program maps it to an installed Song-style CJK family.
inline QFont songFont(qreal points, bool bold = false)
{
    QFont font(QStringLiteral("宋体"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// Maps the font family that the windows ask for to the installed Song-style CJK family.
inline void installFontSubstitutions()
{
    // Song (Ming) faces first, as the windows were drawn for; a plain face rather than whatever fontconfig
    // would pick.
    static constexpr const char* faces[] = {"Noto Serif CJK SC", "AR PL UMing CN",    "AR PL SungtiL GB",
                                            "Noto Sans CJK SC",  "WenQuanYi Zen Hei", "WenQuanYi Micro Hei"};
    for (const char* face : faces) {
        const QString family = QString::fromLatin1(face);
        if (QFontDatabase::hasFamily(family)) {
            QFont::insertSubstitution(QStringLiteral("宋体"), family);
            return;
        }
    }
}

// `font`, or the same font a quarter point smaller at a time, until `text` fits in `width` pixels on one
// line. Measured on the screen, as a label draws it.
inline QFont fittingFont(QFont font, const QString& text, int width)
{
    while (font.pointSizeF() > 1 && std::ceil(QFontMetricsF(font).horizontalAdvance(text)) > width)
        font.setPointSizeF(font.pointSizeF() - 0.25);
    return font;
}
