#include "windows/Splash_Unit.h"

#include "app/PlatformDependence_Unit.h"
#include "storage/Conversions_Unit.h"
#include "storage/MainWindowSettings_Unit.h"
#include "windows/WindowPlacement_Unit.h"

#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <future>

namespace {

const int DefaultCloseInterval = 1000;
int CloseIntervalSetting = DefaultCloseInterval;

// Due when more than a tenth of a day lies between the two stamps. Counted
// in whole milliseconds so that exactly 2 hours 24 minutes is reliably not
// due, whatever rounding the day fractions carry.
bool MoreThanATenthOfADay(TDateTime last, TDateTime now)
{
    const double milliseconds = std::round((now - last) * 86400000.0);
    return milliseconds > 8640000.0;
}

std::future<bool> &PendingSplashCheck()
{
    static std::future<bool> pending;
    return pending;
}

} // namespace

TSplash_Form::TSplash_Form(QWidget *parent) : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    // Never shown on screen, but it tells the splash apart from the main
    // window for the desktop and for screen readers.
    setWindowTitle(QStringLiteral("Nudger Splash"));
    setFixedSize(390, 126);
    setAutoFillBackground(true);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);

    Tovrin_Image = new QLabel(this);
    Tovrin_Image->setObjectName(QStringLiteral("Tovrin_Image"));
    Tovrin_Image->setAlignment(Qt::AlignCenter);
    Tovrin_Image->setPixmap(QPixmap(QStringLiteral(":/splash.png")));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Tovrin_Image);

    // Runs from creation: the window closes about one interval after it was
    // made, however long showing it took.
    Close_Timer = new QTimer(this);
    Close_Timer->setObjectName(QStringLiteral("Close_Timer"));
    Close_Timer->setInterval(CloseInterval());
    connect(Close_Timer, &QTimer::timeout, this, [this] { Close_TimerTimer(); });
    Close_Timer->start();

    CentreOnScreen(this);
}

int TSplash_Form::CloseInterval()
{
    return CloseIntervalSetting;
}

void TSplash_Form::SetCloseIntervalForTesting(int milliseconds)
{
    CloseIntervalSetting = milliseconds > 0 ? milliseconds : DefaultCloseInterval;
}

void TSplash_Form::Close_TimerTimer()
{
    Close_Timer->stop();
    accept();
}

bool SplashIsDue()
{
    const TDateTime now = DateTimeFromQDateTime(Now());
    TDateTime last = 0;
    // An unreadable stamp reads as 0, long ago: the splash is due.
    return !ExchangeLastSplashStamp(now, last) || MoreThanATenthOfADay(last, now);
}

void ShowSplash()
{
    TSplash_Form splash;
    splash.exec();
}

void StartSplashCheck()
{
    PendingSplashCheck() = std::async(std::launch::async, &SplashIsDue);
}

void ShowSplashIfDue()
{
    std::future<bool> &pending = PendingSplashCheck();
    const bool due = pending.valid() ? pending.get() : SplashIsDue();
    if (due)
        ShowSplash();
}
