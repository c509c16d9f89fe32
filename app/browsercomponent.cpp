#include "app/browsercomponent.h"

#include <QFileInfo>
#include <QWidget>

namespace melorin {

void BrowserComponent::Navigate(const QString& address) {
    Navigate(QFileInfo(address).isAbsolute() && !address.contains(QStringLiteral("://"))
                 ? QUrl::fromLocalFile(address)
                 : QUrl(address, QUrl::TolerantMode));
}

void BrowserComponent::setVisible(bool visible) {
    view()->setVisible(visible);
}

bool BrowserComponent::isVisible() const {
    return !view()->isHidden();
}

}  // namespace melorin
