#pragma once
// What the two dialogs share: their frame, their controls laid out by pixel,
// where they appear, and the error box.
#include <QRect>
#include <initializer_list>

class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace dialog_parts {

// Caption "Vantrel", the main window's font, a fixed client area.
void SetUpFrame(QDialog* dialog, int width, int height);

// A label left-aligned at the top of `where`, as wide as its text (it grows
// and shrinks to the right; FitLabel again after a new text).
QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, QRect where);
void FitLabel(QLabel* label);

QLineEdit* MakeEdit(QWidget* parent, const char* name, QRect where);
QPushButton* MakeButton(QWidget* parent, const char* name, const char* text, QRect where);

// Chains the tab order as listed.
void SetTabOrder(std::initializer_list<QWidget*> order);

// For every showing: centred on the screen, the keyboard focus on the first
// control of `order` that can take it.
void PlaceAndFocus(QDialog* dialog, std::initializer_list<QWidget*> order);

// The validation message box: caption "Error", the error icon, an OK button.
void ShowError(QWidget* parent, const char* message);

}  // namespace dialog_parts
