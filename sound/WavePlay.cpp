#include "sound/WavePlay.h"
// placeholder
namespace { struct TSilent : TWaveService { bool Play(const TWaveRequest &) override { return false; } void Stop() override {} }; TWaveService *g = nullptr; }
TWaveService &DefaultWaveService() { static TSilent s; return g ? *g : s; }
void SetDefaultWaveService(TWaveService *service) { g = service; }
TPlayerWave::TPlayerWave(QObject *owner) : QObject(owner), FService(DefaultWaveService()) {}
TPlayerWave::~TPlayerWave() = default;
bool TPlayerWave::Play() { return false; }
void TPlayerWave::Stop() {}
TWavePlayer::TWavePlayer() : FPlayerWave(std::make_unique<TPlayerWave>()), FReady(true) {}
TWavePlayer::~TWavePlayer() = default;
void TWavePlayer::SetResourceWave(const QString &) {}
void TWavePlayer::Play() {}
void TWavePlayer::Stop() {}
