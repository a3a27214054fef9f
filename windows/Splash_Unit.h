// The splash window shown at start when the last start lies more than a
// tenth of a day back.
#pragma once

#include <QDialog>

class QLabel;
class QTimer;

// Frameless black window with the splash picture that closes itself at the
// first tick of its timer.
class TSplash_Form : public QDialog
{
    Q_OBJECT
public:
    explicit TSplash_Form(QWidget *parent = nullptr);

    QLabel *Tovrin_Image = nullptr;
    QTimer *Close_Timer = nullptr;

    // The close timer's interval in milliseconds; 1000 unless a test set a
    // shorter one. Zero or less restores 1000.
    static int CloseInterval();
    static void SetCloseIntervalForTesting(int milliseconds);

private:
    void Close_TimerTimer();
};

// Starts the splash step's reading and writing of the stamp (SplashIsDue) at
// once, on a thread of its own, so that the disk's work goes on while the
// main window is built; ShowSplashIfDue then takes its answer.
void StartSplashCheck();
// Shows the splash modally when SplashIsDue says so (the answer of the
// check StartSplashCheck started, when there is one).
void ShowSplashIfDue();
// True when the stored "FLastSplashScreen" stamp is missing, unreadable or
// more than 0.1 day older than now. Always renews the stamp.
bool SplashIsDue();
// Shows the splash window modally until it closes itself.
void ShowSplash();
