#pragma once
// vlnotes commands on binders (".vl", ".vlBackup"): saving a binder again with every tab and the
// events it carries besides them. Exit codes as in main.cpp.

#include <QString>

// The file's first element is a BoundNotes line.
bool IsBinderFile(const QString &Path);
// vlnotes resave IN OUT for a binder: every tab and the events block, written in one step. A
// damaged binder is never written over itself.
int CommandResaveBinder(const QString &In, const QString &Out);
