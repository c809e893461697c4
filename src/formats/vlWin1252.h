#pragma once
// Windows-1252, the single-byte code page of the notes files, by our own table: Qt 6.4 has no
// such codec and the host's locale must never decide how a file is read or written.
//
// The five bytes that Windows-1252 leaves undefined (81, 8D, 8F, 90, 9D) map to the C1 control
// with the same number, as Windows does, so every byte decodes to exactly one UTF-16 unit and
// every decoded text encodes back to the same bytes.
//
// A UTF-16 unit that has no byte here is written as "&#" + its decimal value + ";". Such units
// are all 128 or above, so the form always has three or more digits and never collides with the
// two-character entities of paragraph text.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The UTF-16 unit of one byte.
char16_t Win1252ToUnicode(unsigned char Byte) noexcept;
// The byte of a UTF-16 unit, or -1 when Windows-1252 cannot hold it.
int UnicodeToWin1252(char16_t Unit) noexcept;

// Every byte becomes one UTF-16 unit; nothing is rejected.
QString DecodeWin1252(QByteArrayView Bytes);
void AppendDecodedWin1252(QString &Out, QByteArrayView Bytes);

// Appends the bytes of Text; units without a byte are appended as "&#n;".
void AppendEncodedWin1252(QByteArray &Out, QStringView Text);
QByteArray EncodeWin1252(QStringView Text);
// As AppendEncodedWin1252, and also writes ", <, > and codes below 32 as their entities ("&Q2;",
// "&LT;", "&GT;", "&n;"), so that the text can never end an attribute value or a line early.
void AppendEncodedWin1252Guarded(QByteArray &Out, QStringView Text);
