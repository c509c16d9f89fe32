#pragma once

// A UiPort for tests: records messages and questions, answers from presets, never blocks; or,
// when a test asks for them, shows the real file dialogs for the test to drive.

#include <QStringList>

#include "ui/uiport.h"

namespace melorin::testing {

// Never fires by itself: a test steps it with fire().
class FakeTicker final : public ui::Ticker {
public:
    using Ticker::Ticker;
    void start() override { active_ = true; }
    void stop() override { active_ = false; }
    [[nodiscard]] bool isActive() const override { return active_; }
    void fire() { emit tick(); }

private:
    bool active_ = false;
};

class RecordingUi final : public ui::UiPort {
public:
    QStringList messages;
    QStringList questions;
    QStringList openedAddresses;
    bool answerYes = true;
    QString nextOpenFile;
    QString nextSaveFile;
    QString nextSaveFilter;      // the filter a save choice answers with; empty: the first
    QStringList offeredFilters;  // what the last save choice offered
    QString openFolder;          // the folder and filter the last open dialog was given
    QString openFilter;
    QString saveProposal;  // the folder or name and filter the last save dialog was given
    QString saveFilter;
    bool realFileDialogs = false;  // the desktop's dialogs, which the test drives

    void showMessage(QWidget*, const QString& text) override { messages << text; }
    bool askYesNo(QWidget*, const QString& text) override {
        questions << text;
        return answerYes;
    }
    QString openFileName(QWidget* parent, const QString& caption, const QString& folder,
                         const QString& filter) override {
        openFolder = folder;
        openFilter = filter;
        if (realFileDialogs) return desktop_.openFileName(parent, caption, folder, filter);
        return nextOpenFile;
    }
    QString saveFileName(QWidget* parent, const QString& caption, const QString& proposal,
                         const QString& filter) override {
        saveProposal = proposal;
        saveFilter = filter;
        if (realFileDialogs) return desktop_.saveFileName(parent, caption, proposal, filter);
        return nextSaveFile;
    }
    ui::SaveChoice saveFileChoice(QWidget*, const QString&, const QString&,
                                  const QStringList& filters) override {
        offeredFilters = filters;
        return {nextSaveFile, nextSaveFilter.isEmpty() ? filters.value(0) : nextSaveFilter};
    }
    bool openAddress(const QString& address) override {
        openedAddresses << address;
        return true;
    }
    std::unique_ptr<ui::Ticker> createTicker(QObject* parent, int) override {
        return std::make_unique<FakeTicker>(parent);
    }

private:
    ui::DesktopUiPort desktop_;
};

}  // namespace melorin::testing
