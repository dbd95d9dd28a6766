#pragma once
// The local pane's tests: a pane over a temporary folder with scripted prompts, HOME and the Trash
// in the folder too, and helpers that read and select its rows.
#include "app/localpane.h"
#include "app/prompts.h"
#include "files/drivecombobox.h"
#include "files/filelist.h"

#include "support/pump.h"
#include "widgets/wallpaper.h"
#include <QAbstractItemView>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QUrl>
#include <deque>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace localpanefixture {

// Answers the pane's questions from a script and records every one.
class TScriptedPrompts : public TPrompts {
public:
    struct TCall {
        QString kind; // "message", "input", "error"
        QString text;
        QString title;
    };
    std::vector<TCall> calls;
    std::deque<TMsgResult> answers;            // MessageBox
    std::deque<std::optional<QString>> inputs; // InputBox; nullopt cancels
    std::function<void()> whileAsking;         // runs inside every question, as a modal loop would

    TMsgResult MessageBox(const QString& text, const QString& title, TMsgIcon, TMsgButtons) override
    {
        calls.push_back({QStringLiteral("message"), text, title});
        if (whileAsking)
            whileAsking();
        if (answers.empty())
            return mrOk;
        const TMsgResult answer = answers.front();
        answers.pop_front();
        return answer;
    }
    bool InputBox(const QString& caption, const QString& prompt, QString& value) override
    {
        calls.push_back({QStringLiteral("input"), prompt + QLatin1Char('|') + value, caption});
        if (inputs.empty() || !inputs.front()) {
            if (!inputs.empty())
                inputs.pop_front();
            return false;
        }
        value = *inputs.front();
        inputs.pop_front();
        return true;
    }
    void ErrorBox(const QString& text) override { calls.push_back({QStringLiteral("error"), text, {}}); }

    QString Last(const QString& kind) const
    {
        for (auto call = calls.rbegin(); call != calls.rend(); ++call)
            if (call->kind == kind)
                return call->text;
        return {};
    }
};

class LocalPaneTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        base = QDir(root.path()).canonicalPath();
        savedCwd = CurrentDir();
        savedHome = qgetenv("HOME");
        savedData = qgetenv("XDG_DATA_HOME");
        QDir(base).mkpath(QStringLiteral("home"));
        QDir(base).mkpath(QStringLiteral("data"));
        QDir(base).mkpath(QStringLiteral("w/sub/deeper"));
        qputenv("HOME", QFile::encodeName(base + QStringLiteral("/home")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(base + QStringLiteral("/data")));
        work = base + QStringLiteral("/w");
        pane.resize(400, 300);
        pane.show();
    }
    void TearDown() override
    {
        ASSERT_EQ(::chdir(savedCwd.constData()), 0);
        qputenv("HOME", savedHome);
        qputenv("XDG_DATA_HOME", savedData);
    }

    static QByteArray CurrentDir()
    {
        char buffer[4096];
        return ::getcwd(buffer, sizeof buffer) ? QByteArray(buffer) : QByteArray();
    }
    void Write(const QString& name, const QByteArray& bytes, QFile::Permissions extra = {})
    {
        QFile file(work + QLatin1Char('/') + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        if (extra)
            file.setPermissions(file.permissions() | extra);
    }
    QStringList Captions()
    {
        QStringList captions;
        for (int i = 0; i < pane.List()->Items().Count(); ++i)
            captions.append(pane.List()->Items().Item(i)->Caption());
        return captions;
    }
    TListItem* Row(const QString& caption)
    {
        for (int i = 0; i < pane.List()->Items().Count(); ++i)
            if (pane.List()->Items().Item(i)->Caption() == caption)
                return pane.List()->Items().Item(i);
        return nullptr;
    }
    // Selects exactly these rows, the first one current.
    void Select(const QStringList& captions)
    {
        pane.List()->Items().Flush();
        QItemSelectionModel* selection = pane.List()->Items().SelectionModel();
        selection->clearSelection();
        for (const QString& caption : captions) {
            TListItem* row = Row(caption);
            ASSERT_NE(row, nullptr) << caption.toStdString();
            row->SetSelected(true);
        }
        selection->setCurrentIndex(pane.List()->Items().index(Row(captions.first())->Index(), 0),
                                   QItemSelectionModel::NoUpdate);
    }
    QAbstractItemView* View() { return qobject_cast<QAbstractItemView*>(pane.List()->CurrentView()); }
    bool WaitForDeletes()
    {
        return PumpUntil([this] { return pane.PendingDeletes() == 0; }, 10000);
    }

    QTemporaryDir root;
    QString base;
    QString work;
    QByteArray savedCwd;
    QByteArray savedHome;
    QByteArray savedData;
    TScriptedPrompts prompts;
    TLocalPane pane{prompts};
};

} // namespace localpanefixture

using localpanefixture::LocalPaneTest;
