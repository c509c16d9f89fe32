#pragma once
// What the program's own pages (the player pages and the card preview) may load from this
// computer. A card page holds whatever its writer pasted into it, script included; that script
// must not read the user's files. So of "file:" addresses only the page documents themselves,
// pictures in the program folder and the one picture the page names as its background load;
// every request a script could read back (XHR, fetch, frames, objects, scripts, styles) is
// refused. Addresses that are not "file:" are the browser's own business.
#include <QString>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>

namespace melorin::player {

// The rule, apart from the browser: `path` is a cleaned absolute path, `programDir` and
// `picture` too (`picture` empty when the page names none).
bool ownPageMayLoad(QWebEngineUrlRequestInfo::ResourceType type, const QString& path,
                    const QString& programDir, const QString& picture);

class OwnPageGuard : public QWebEngineUrlRequestInterceptor {
public:
    OwnPageGuard(const QString& programDir, QObject* parent);
    // The picture the page being loaded names ("file://" + path, or any other address).
    void setPagePicture(const QString& address);
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

private:
    QString programDir_;
    QString picture_;
};

}  // namespace melorin::player
