#include "app/selectdir.h"

#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QTreeView>

#include "app/controls.h"
#include "app/mainwindow.h"
#include "ui/skin.h"

namespace melorin {

TForm2::TForm2(TForm1& owner) : owner_(&owner) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("选择保存目录"));
    // The frame keeps only its close and minimise buttons.
    for (const QString& name :
         {QStringLiteral("SkinSysMenuButton"), QStringLiteral("SkinTrayButton")}) {
        if (auto* b = findChild<QToolButton*>(name)) b->hide();
    }
    QWidget* client = clientArea();
    client->setFixedSize(kClientWidth, kClientHeight);

    folders = new QFileSystemModel(this);
    folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    folders->setOption(QFileSystemModel::DontWatchForChanges);
    folders->setRootPath(QDir::rootPath());

    ShellTreeView1 = new QTreeView(client);
    ShellTreeView1->setObjectName(QStringLiteral("ShellTreeView1"));
    ShellTreeView1->setGeometry(0, 0, 158, 218);
    ShellTreeView1->setModel(folders);
    for (int c = 1; c < folders->columnCount(); ++c) ShellTreeView1->hideColumn(c);
    ShellTreeView1->header()->hide();
    ShellTreeView1->setIndentation(19);
    ShellTreeView1->setExpandsOnDoubleClick(true);
    ShellTreeView1->expand(folders->index(QDir::rootPath()));
    ui::assignSkin(ShellTreeView1, ui::Skin::Paper);
    // Only a mouse click takes the folder; moving with the keyboard does not.
    connect(ShellTreeView1, &QTreeView::clicked, this, &TForm2::ShellTreeView1Click);

    pathedit =
        controls::edit(client, QStringLiteral("pathedit"), QString(), QRect(0, 216, 161, 23));
    pathbtn = controls::button(client, QStringLiteral("pathbtn"), QStringLiteral("确定"),
                               QRect(0, 239, 158, 25));
    connect(pathbtn, &QPushButton::clicked, this, &TForm2::pathbtnClick);

    resize(outerSizeFor(QSize(kClientWidth, kClientHeight)));
    owner.attachChooser(this);
}

TForm2::~TForm2() {
    if (owner_ != nullptr) owner_->detachChooser(this);
}

void TForm2::scaleWindow(core::Ratio scale) {
    scaleContents(scale.num, scale.den);
    const QSize client(scale.apply(kClientWidth), scale.apply(kClientHeight));
    clientArea()->setFixedSize(client);
    resize(client.width() + 2 * kBorder,
           client.height() + scale.apply(kCaptionHeight) + 2 * kBorder);
}

void TForm2::showChooser() {
    if (QScreen* s = screen())
        move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    show();
    raise();
    activateWindow();
}

void TForm2::ShellTreeView1Click(const QModelIndex& index) {
    pathedit->setText(index.isValid() ? QDir::toNativeSeparators(folders->filePath(index))
                                      : QString());
}

void TForm2::pathbtnClick() {
    if (owner_ != nullptr) owner_->applyChosenFolder(pathedit->text());
    hide();
}

}  // namespace melorin
