#pragma once
// The program file's icon on Windows, as the bytes of an .ico file: the
// window icon's emblem at 16, 24, 32 and 48 pixels in 256 colours; at 16,
// 24, 32, 48 and 128 pixels in 32-bit colour; and at 256 pixels as PNG.
// quillmere.ico in this folder was written from it (--write-icon-file).

#include <QByteArray>

namespace quillmere {

QByteArray IconFileBytes();

}  // namespace quillmere
