#pragma once
// The program's text is Windows-1252 bytes; the widgets hold Unicode. Texts cross here, and only here.

#include <QString>

class QWidget;

#include <optional>
#include <string>

namespace zendrel {

QString ToQString(const std::string& text);

// None when a character has no Windows-1252 byte.
std::optional<std::string> ToProgramText(const QString& text);

// For widget texts that the program's validators guard: a character that slipped past them (none should) becomes
// "?" rather than losing the whole text.
std::string ToProgramTextOrMarked(const QString& text);

bool FitsWindows1252(const QString& text);

// What a control shows as the program's text: an edit's text, a frame's title, a label's or a button's text, a
// drop-down's current item; "" for a widget without text.
std::string ShownText(const QWidget* widget);

}  // namespace zendrel
