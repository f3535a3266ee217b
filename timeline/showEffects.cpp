#include "timeline/showEffects.h"

#include "effects/blindsMask.h"
#include "effects/blobOrbit.h"
#include "effects/cubeCredits.h"
#include "effects/factoryRewind.h"
#include "effects/finaleSphere.h"
#include "effects/grassScene.h"
#include "effects/robotCore.h"
#include "effects/titleStreams.h"
#include "effects/warpOverlay.h"
#include "particles/particleEmitter.h"
#include "timeline/beatPulse.h"
#include "timeline/demoSchedule.h"
#include "timeline/demoTimeline.h"

namespace {

float pulse() { return frameBeat().pulse; }

// What an effect with state of its own carries: its state record, made on the first take and
// filled by the effect's save, read by its restore.
#define CARRIED_STATE(Type, save, restore)                                                  \
    [](std::any& value) {                                                                   \
        if (!value.has_value()) value = Type{};                                             \
        save(std::any_cast<Type&>(value));                                                  \
    },                                                                                      \
        [](const std::any& value) { restore(std::any_cast<const Type&>(value)); },          \
        [](const std::any& value) { return std::any_cast<const Type&>(value).bytes(); }
#define CARRIES_NOTHING nullptr, nullptr, nullptr

void updateBeat(const ShowEffect&, float demoTime, float) { updatePulse(frameBeat(), demoTime); }

} // namespace

const ShowEffect showEffects[showEffectCount] = {
    {nullptr, nullptr, updateBeat, updateBeat,
     [](std::any& value) { value = frameBeat(); },
     [](const std::any& value) { frameBeat() = std::any_cast<const BeatPulse&>(value); },
     [](const std::any&) { return sizeof(BeatPulse); }},
    // The emitters' steps draw from it, each in its effect's turn.
    {nullptr, nullptr, nullptr, nullptr,
     [](std::any& value) { value = particleRandom(); },
     [](const std::any& value) { particleRandom() = std::any_cast<const ParticleRandom&>(value); },
     [](const std::any&) { return sizeof(ParticleRandom); }},
    // Drawn by the frame itself, only inside its window; every effect below tests its own.
    {"drawClosingSequence", &closingWindow,
     [](const ShowEffect& effect, float demoTime, float) {
         if (insideWindow(*effect.window, demoTime)) drawClosingSequence(demoTime, demoScene(SCENE_LOGO));
     },
     nullptr, CARRIES_NOTHING},
    {"drawTitleStreams", &titleStreamsWindow,
     [](const ShowEffect& effect, float demoTime, float previousTime) {
         drawTitleStreams(demoTime, previousTime, effect.window->start, effect.window->end);
     },
     [](const ShowEffect& effect, float demoTime, float previousTime) {
         stepTitleStreams(demoTime, previousTime, effect.window->start, effect.window->end);
     },
     CARRIED_STATE(TitleStreamsState, saveTitleStreams, restoreTitleStreams)},
    {"drawBlindsMask", &blindsMaskWindow,
     [](const ShowEffect& effect, float demoTime, float) { drawBlindsMask(demoTime, effect.window->start, effect.window->end); },
     nullptr, CARRIES_NOTHING},
    {"drawGrassScene", &grassSceneWindow, [](const ShowEffect&, float demoTime, float) { drawGrassScene(demoTime, pulse()); },
     nullptr, CARRIES_NOTHING},
    {"drawBlobOrbit", &blobOrbitWindow, [](const ShowEffect&, float demoTime, float) { drawBlobOrbit(demoTime, pulse()); },
     nullptr, CARRIES_NOTHING},
    {"drawFactoryRewind", &factoryRewindWindow,
     [](const ShowEffect&, float demoTime, float previousTime) { drawFactoryRewind(demoTime, previousTime, pulse()); },
     [](const ShowEffect&, float demoTime, float previousTime) { stepFactoryRewind(demoTime, previousTime); },
     CARRIED_STATE(FactoryRewindState, saveFactoryRewind, restoreFactoryRewind)},
    {"drawCubeCredits", &cubeCreditsWindow,
     [](const ShowEffect&, float demoTime, float previousTime) { drawCubeCredits(demoTime, previousTime, pulse()); },
     [](const ShowEffect&, float demoTime, float previousTime) { stepCubeCredits(demoTime, previousTime); },
     CARRIED_STATE(CubeCreditsState, saveCubeCredits, restoreCubeCredits)},
    {"drawRobotCore", &robotCoreWindow, [](const ShowEffect&, float demoTime, float) { drawRobotCore(demoTime, pulse()); },
     nullptr, CARRIES_NOTHING},
    {"drawFinaleSphere", &finaleSphereWindow, [](const ShowEffect&, float demoTime, float) { drawFinaleSphere(demoTime, pulse()); },
     [](const ShowEffect&, float demoTime, float) { stepFinaleSphere(demoTime); },
     CARRIED_STATE(FinaleSphereState, saveFinaleSphere, restoreFinaleSphere)},
    // Last: over the grass, from 17.5 to 50 s.
    {"drawWarpOverlay", &warpOverlayWindow, [](const ShowEffect&, float demoTime, float) { drawWarpOverlay(demoTime); },
     nullptr, CARRIES_NOTHING},
};
