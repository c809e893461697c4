#pragma once
// "vlnotes render FILE OUT.png [--width PX] [--tab N]": lays an isolated tab file, or one tab of a
// binder (the active one unless N is given), out as the editor does and draws the whole document
// into a PNG, so that a layout can be looked at without the program.
// Runs before the tool's QCoreApplication exists, because drawing text needs a QGuiApplication;
// without a display it uses the offscreen platform.

int RenderMain(int argc, char **argv);
