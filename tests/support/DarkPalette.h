// A dark desktop palette, for pictures and checks of a screen in the dark.
#pragma once

#include <QColor>
#include <QPalette>

inline QPalette darkPalette()
{
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    dark.setColor(QPalette::WindowText, QColor(0xe6, 0xe6, 0xe6));
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::AlternateBase, QColor(0x2b, 0x2b, 0x2b));
    dark.setColor(QPalette::Text, QColor(0xe6, 0xe6, 0xe6));
    dark.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
    dark.setColor(QPalette::ButtonText, QColor(0xe6, 0xe6, 0xe6));
    dark.setColor(QPalette::Highlight, QColor(0x3d, 0x6d, 0xb5));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::PlaceholderText, QColor(0x90, 0x90, 0x90));
    for (const QPalette::ColorRole role : { QPalette::ButtonText, QPalette::Text, QPalette::WindowText })
        dark.setColor(QPalette::Disabled, role, QColor(0x70, 0x70, 0x70));
    return dark;
}
