#pragma once
// Which window a modal dialog of the program belongs to (the log-in dialog, About).

class QWidget;

// The main window a dialog belongs to: the active one if it is a main window, else any
// visible main window, else whatever window is active (none: centred on the screen).
QWidget* DialogOwnerWindow();
