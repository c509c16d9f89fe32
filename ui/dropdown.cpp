#include "ui/dropdown.h"

#include <QAbstractItemView>
#include <QScrollBar>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <algorithm>

namespace melorin::ui {

DropDown::DropDown(QWidget* parent) : QComboBox(parent) {}

int DropDown::textRoom() const {
    QStyleOptionComboBox option;
    initStyleOption(&option);
    // The style draws the label one pixel inside the edit field on either side.
    return style()
               ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this)
               .width() -
           2;
}

QString DropDown::shownText() const {
    return fontMetrics().elidedText(currentText(), Qt::ElideRight, textRoom());
}

void DropDown::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    option.currentText = shownText();
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

void DropDown::showPopup() {
    QAbstractItemView* list = view();
    const int entries = list->sizeHintForColumn(0) + 2 * list->frameWidth() +
                        list->verticalScrollBar()->sizeHint().width();
    list->setMinimumWidth(std::max(width(), entries));
    QComboBox::showPopup();
}

}  // namespace melorin::ui
