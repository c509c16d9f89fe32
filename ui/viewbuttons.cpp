#include "ui/viewbuttons.h"

#include <QAccessibleWidget>

namespace melorin::ui {
namespace {

class ViewButtonAccessible final : public QAccessibleWidget {
public:
    explicit ViewButtonAccessible(ViewButton* button)
        : QAccessibleWidget(button, QAccessible::Button) {}

    [[nodiscard]] QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name) return QAccessibleWidget::text(t);
        const QString name = widget()->accessibleName();
        return name.isEmpty() ? button()->text() : name;
    }

    [[nodiscard]] QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = button()->isChecked();
        s.pressed = button()->isDown();
        return s;
    }

    [[nodiscard]] QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (action == pressAction()) {
            button()->click();
            return;
        }
        QAccessibleWidget::doAction(action);
    }

private:
    [[nodiscard]] ViewButton* button() const { return static_cast<ViewButton*>(widget()); }
};

// Asked with the most derived class first, so this class's name comes before QPushButton's.
QAccessibleInterface* viewButtonInterface(const QString& className, QObject* object) {
    if (className != QLatin1StringView(ViewButton::staticMetaObject.className())) return nullptr;
    return new ViewButtonAccessible(static_cast<ViewButton*>(object));
}

}  // namespace

ViewButton::ViewButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    static const bool installed = [] {
        QAccessible::installFactory(viewButtonInterface);
        return true;
    }();
    (void)installed;
    setCheckable(true);
}

}  // namespace melorin::ui
