#pragma once
// The entities of the notes files, shared by paragraph text and by escaped string attributes
// (tab titles, font names, picture paths, label texts):
//
//   "&" + decimal code + ";"   a character below 32 ("&9;" tab, "&10;" line feed)
//   "&Q2;" "&AM;" "&LT;" "&GT;" a double quote, "&", "<", ">"
//   "&#" + decimal + ";"        a UTF-16 unit that Windows-1252 cannot hold
//
// Paragraph text also carries font switches "&f" + index + ";"; those belong to the rich string
// and are not decoded here.
//
// Decoding tries, at each "&": a one-digit code, a known two-character entity (the four letters
// pairs and two-digit codes), then "&#" with digits. An "&" that starts none of these is an
// ordinary character and scanning goes on with the character after it, so no text that follows
// an unknown "&" is ever dropped. Values written by older programs without escaping therefore
// read back as they were, unless they happen to contain one of these exact sequences.

#include <QString>
#include <QStringView>

// Paragraph-text form of one UTF-16 unit: "&" always becomes "&AM;".
void AppendTextEntity(QString &Out, char16_t Unit);

// Attribute form: like the paragraph form, except that "&" stays a plain "&" unless the text
// after it would otherwise decode as an entity. Values without ", <, >, control characters or
// units outside Windows-1252 come out unchanged, so older readers see the same bytes as before.
void AppendEscapedAttributeText(QString &Out, QStringView Text);
QString EscapeAttributeText(QStringView Text);

// When Text[At] is "&" that starts an entity (not a font switch), gives its unit and length.
bool DecodeEntityAt(QStringView Text, qsizetype At, char16_t &Unit, qsizetype &Length) noexcept;

// Decodes every entity; everything else is kept.
QString DecodeEntities(QStringView Text);
