#pragma once

class QWidget;

// Processes the events that are pending now, without waiting. Waiting loops
// call it until their condition holds. The dialog window is accepted for the
// callers' sake; Qt routes dialog keys itself.
void ProcessOneMessage(QWidget* DlgWnd = nullptr);
