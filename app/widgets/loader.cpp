#include "widgets/loader.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

#include <functional>

namespace {

// Receives a signal connected by its signature and passes it to a function,
// so the busy window can follow any parent that has the signal.
class ProgressRelay : public QObject {
    Q_OBJECT

public:
    ProgressRelay(QObject *parent, std::function<void(int, QString)> handler)
        : QObject(parent)
        , m_handler(std::move(handler))
    {
    }

public Q_SLOTS:
    void report(int status, QString text) { m_handler(status, text); }

private:
    std::function<void(int, QString)> m_handler;
};

} // namespace

Loader::Loader(QWidget *parent, QString title)
    : QDialog(parent)
    , statusLabel(new QLabel(this))
    , titleLabel(new QLabel(title, this))
    , cancelButton(new QPushButton(QStringLiteral("Отмена"), this))
    , progressBar(new QProgressBar(this))
{
    setObjectName(QStringLiteral("Loader"));
    statusLabel->setObjectName(QStringLiteral("statusLabel"));
    titleLabel->setObjectName(QStringLiteral("titleLabel"));
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    progressBar->setObjectName(QStringLiteral("progressBar"));

    statusLabel->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    // The longest stage texts take two lines at this width; the room for
    // them is kept, so the window does not jump while the texts change.
    statusLabel->setWordWrap(true);
    statusLabel->setMinimumHeight(2 * statusLabel->fontMetrics().lineSpacing());
    titleLabel->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    progressBar->setRange(0, 100);
    progressBar->setValue(0);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(titleLabel);
    layout->addWidget(progressBar);
    layout->addWidget(statusLabel);
    layout->addWidget(cancelButton);
    resize(kWidth, qMax(kHeight, layout->sizeHint().height()));

    if (parent) {
        auto *relay = new ProgressRelay(this, [this](int status, QString text) { onStatusProgress(status, text); });
        m_progressConnection
            = connect(parent, SIGNAL(setStatusProgressBar(int, QString)), relay, SLOT(report(int, QString)));
    }
    connect(cancelButton, &QPushButton::released, this, &Loader::onCancelReleased);
    // However the window closes (100 %, "Отмена", Escape), it stops following.
    connect(this, &QDialog::finished, this, &Loader::detach);
}

Loader::~Loader() = default;

Loader *Loader::showBusy(QWidget *window, const QString &text, const std::function<void()> &cancel)
{
    auto *loader = new Loader(nullptr, text);
    loader->setParent(window, Qt::Dialog | Qt::FramelessWindowHint);
    loader->setWindowModality(Qt::WindowModal);
    loader->progressBar->setRange(0, 0);
    connect(loader, &Loader::loaderCanceled, loader, [cancel] { cancel(); });
    connect(loader, &QDialog::rejected, loader, [cancel] { cancel(); });
    loader->show();
    return loader;
}

void Loader::closeBusy(Loader *loader)
{
    if (!loader)
        return;
    disconnect(loader, &Loader::loaderCanceled, loader, nullptr);
    disconnect(loader, &QDialog::rejected, loader, nullptr);
    loader->done(QDialog::Accepted);
    delete loader;
}

void Loader::onStatusProgress(int status, QString text)
{
    progressBar->setValue(status);
    statusLabel->setText(text);
    if (status == 100) {
        detach();
        // Lets the operator see the full bar before the window goes.
        QThread::msleep(kCloseDelayMs);
        close();
    }
}

void Loader::onCancelReleased()
{
    detach();
    Q_EMIT loaderCanceled();
    close();
}

void Loader::detach()
{
    disconnect(m_progressConnection);
}

#include "loader.moc"
