// The name a save dialog proposes for a file a peer offers. The offered
// name is the peer's text: a folder in it would choose where the dialog
// opens, and a device or stream name what a save writes to.
#pragma once

#include <cstddef>
#include <string>

// The longest file name a Windows volume keeps; it fits the dialog's title
// buffer with its terminator.
const size_t kMaxFileNameUnits = 255;

// The offered name's last part after any '\' or '/', without the characters
// Windows refuses in a file name (< > : " / \ | ? * and the controls below
// 32), without the marks that change the text's direction, and without
// trailing dots and spaces; a device name (CON, PRN, AUX, NUL, COM1-9,
// LPT1-9, also with an extension) gets a '_' in front; nothing left gives a
// plain default name. A name longer than maxUnits UTF-16 units is cut, never
// inside a surrogate pair, keeping its extension.
std::wstring InitialSaveName(const std::wstring& offered, size_t maxUnits = kMaxFileNameUnits);

// How much of an offered name the question about the offer shows.
const size_t kShownNameUnits = 80;

// The offered name as the question about the offer shows it: as it came,
// but without the marks that change the text's direction, which would turn
// the question's own sentence around, and cut with an ellipsis after
// kShownNameUnits, so that the question stays on the screen.
std::wstring ShownOfferName(const std::wstring& offered);
