#pragma once

// Small factories for the window's controls: each gets its form name, design bounds and skin.

#include <QRect>
#include <QString>
#include <QStringList>

class QAbstractItemModel;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QToolButton;
class QWidget;

namespace melorin::ui {
class ReportView;
}

namespace melorin::controls {

QFrame* panel(QWidget* parent, const QString& name, const QString& caption, QRect bounds);
QWidget* toolBar(QWidget* parent, const QString& name, QRect bounds);
QPushButton* button(QWidget* parent, const QString& name, const QString& caption, QRect bounds);
// A checkable button that brings up one of the window's views.
QPushButton* viewButton(QWidget* parent, const QString& name, const QString& caption, QRect bounds);
QToolButton* toolButton(QWidget* parent, const QString& name, const QString& caption,
                        const QString& hint, QRect bounds);
QLabel* label(QWidget* parent, const QString& name, const QString& text, QRect bounds);
QLineEdit* edit(QWidget* parent, const QString& name, const QString& text, QRect bounds);
QPlainTextEdit* memo(QWidget* parent, const QString& name, const QString& text, QRect bounds);
QComboBox* dropDown(QWidget* parent, const QString& name, QRect bounds);
QProgressBar* progressBar(QWidget* parent, const QString& name, QRect bounds);
// Sets a bar's value to be painted with the window's next frame: QProgressBar paints at once on
// every visible step, and a search or a download makes many of them between two frames.
void setBarValue(QProgressBar* bar, int value);
// A list showing `rows` (null: a model is given later).
ui::ReportView* reportList(QWidget* parent, const QString& name, QAbstractItemModel* rows,
                           QRect bounds);

// The columns of the result list, which the play list and the card list share.
QStringList resultColumns();

}  // namespace melorin::controls
