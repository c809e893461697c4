#pragma once
// The main window's own adapters over its parts and the commands the program handed it: the
// notebook link of a window whose program installs none, and what the editor asks of the window.
// User-interface thread only.

#include <memory>

class IEditorHost;
class TNotebookLink;
class TVellomarFm;

// The notebook link over the window's notebook, for a program that installs none of its own: the
// save question and closing go through the window's file commands.
std::unique_ptr<TNotebookLink> MakeWindowNotebookLink(TVellomarFm &Window);

// What the editor asks of the window (vlEditorHost.h): the text commands its keys run, Save, the
// search panel's close and the font buttons.
std::unique_ptr<IEditorHost> MakeWindowEditorHost(TVellomarFm &Window);
