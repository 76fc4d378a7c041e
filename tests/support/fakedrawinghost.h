#pragma once

#include "measurements/drawinghost.h"
#include "widgets/loader.h"
#include "widgets/prompts.h"

#include <QDialog>
#include <QPointer>
#include <QWidget>
#include <functional>

// The contour window's part for a drawing comparison on a bare plot: the
// questions go to the process's prompts object (the scripted one in tests),
// the busy window is a Loader on the given widget's window, and a click picks
// whenever `picks` is true (and picksWhen, when set, says so).
class FakeDrawingHost : public IDrawingHost {
public:
    explicit FakeDrawingHost(QWidget *window = nullptr)
        : window(window)
    {
    }
    ~FakeDrawingHost() override { delete loader; }

    QString askDrawingFile() override
    {
        ++fileQuestions;
        return Prompts::instance().openFileName(
            window, QStringLiteral("Импортировать чертёж"), QString(), QStringLiteral("Чертёж (*.dxf)"));
    }
    void warnAboutDrawing(const QString &caption, const QString &text) override
    {
        warnings << text;
        Prompts::instance().warning(window, caption, text);
    }
    void showRegistrationBusy(const QString &text, const std::function<void()> &cancel) override
    {
        delete loader;
        loader = new Loader(nullptr, text);
        if (window)
            loader->setParent(window->window(), Qt::Dialog | Qt::FramelessWindowHint);
        QObject::connect(loader, &Loader::loaderCanceled, [cancel] { cancel(); });
        QObject::connect(loader, &QDialog::rejected, [cancel] { cancel(); });
        loader->show();
    }
    void hideRegistrationBusy() override
    {
        if (!loader)
            return;
        Loader *l = loader;
        loader = nullptr;
        l->done(QDialog::Accepted);
        delete l;
    }
    bool plotClickPicks() const override { return picks && (!picksWhen || picksWhen()); }

    QWidget *window;
    bool picks = true;
    std::function<bool()> picksWhen;
    int fileQuestions = 0;
    QStringList warnings;
    QPointer<Loader> loader;
};
