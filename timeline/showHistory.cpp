#include "timeline/showHistory.h"

#include "effects/cubeCredits.h"
#include "effects/factoryRewind.h"
#include "effects/finaleSphere.h"
#include "effects/titleStreams.h"
#include "particles/particleEmitter.h"
#include "timeline/beatPulse.h"
#include "timeline/demoSchedule.h"
#include "timeline/demoTimeline.h"

#include <iterator>

namespace {

// One row of what the show carries: how a frame takes it on, and how its value is taken and
// put back. Each value is a copy the row's owner makes and reads; `take` reuses the buffers
// the value already holds.
struct CarriedPart {
    // Null for the random sequence: the emitters' steps draw from it.
    void (*step)(float demoTime, float previousTime);
    void (*take)(std::any& value);
    void (*putBack)(const std::any& value);
    std::size_t (*bytes)(const std::any& value);
};

// In the order of the frame's own work: the beat first, then the effects in the order of
// their draws, whose particles draw from the random sequence in that order.
const CarriedPart carriedParts[] = {
    // The beat pulse.
    {[](float demoTime, float) { updatePulse(frameBeat(), demoTime); },
     [](std::any& value) { value = frameBeat(); },
     [](const std::any& value) { frameBeat() = std::any_cast<const BeatPulse&>(value); },
     [](const std::any&) { return sizeof(BeatPulse); }},
    // The particles' random sequence.
    {nullptr,
     [](std::any& value) { value = particleRandom(); },
     [](const std::any& value) { particleRandom() = std::any_cast<const ParticleRandom&>(value); },
     [](const std::any&) { return sizeof(ParticleRandom); }},
    // The opening's two jets.
    {[](float demoTime, float previousTime) {
         stepTitleStreams(demoTime, previousTime, titleStreamsWindow.start, titleStreamsWindow.end);
     },
     [](std::any& value) {
         if (!value.has_value()) value = TitleStreamsState{};
         saveTitleStreams(std::any_cast<TitleStreamsState&>(value));
     },
     [](const std::any& value) { restoreTitleStreams(std::any_cast<const TitleStreamsState&>(value)); },
     [](const std::any& value) { return std::any_cast<const TitleStreamsState&>(value).bytes(); }},
    // The factory's smoke.
    {stepFactoryRewind,
     [](std::any& value) {
         if (!value.has_value()) value = FactoryRewindState{};
         saveFactoryRewind(std::any_cast<FactoryRewindState&>(value));
     },
     [](const std::any& value) { restoreFactoryRewind(std::any_cast<const FactoryRewindState&>(value)); },
     [](const std::any& value) { return std::any_cast<const FactoryRewindState&>(value).bytes(); }},
    // The credits' sparks.
    {stepCubeCredits,
     [](std::any& value) {
         if (!value.has_value()) value = CubeCreditsState{};
         saveCubeCredits(std::any_cast<CubeCreditsState&>(value));
     },
     [](const std::any& value) { restoreCubeCredits(std::any_cast<const CubeCreditsState&>(value)); },
     [](const std::any& value) { return std::any_cast<const CubeCreditsState&>(value).bytes(); }},
    // The finale's logo column.
    {[](float demoTime, float) { stepFinaleSphere(demoTime); },
     [](std::any& value) {
         if (!value.has_value()) value = FinaleSphereState{};
         saveFinaleSphere(std::any_cast<FinaleSphereState&>(value));
     },
     [](const std::any& value) { restoreFinaleSphere(std::any_cast<const FinaleSphereState&>(value)); },
     [](const std::any& value) { return std::any_cast<const FinaleSphereState&>(value).bytes(); }},
};

} // namespace

void stepShow(float demoTime, float previousTime)
{
    for (const CarriedPart& part : carriedParts) {
        if (part.step) part.step(demoTime, previousTime);
    }
}

void takeShowSnapshot(ShowSnapshot& snapshot)
{
    snapshot.values.resize(std::size(carriedParts));
    for (std::size_t i = 0; i < std::size(carriedParts); ++i) carriedParts[i].take(snapshot.values[i]);
}

void restoreShowSnapshot(const ShowSnapshot& snapshot)
{
    for (std::size_t i = 0; i < std::size(carriedParts); ++i) carriedParts[i].putBack(snapshot.values[i]);
}

std::size_t ShowHistory::bytes() const
{
    std::size_t total = 0;
    for (const ShowSnapshot& snapshot : snapshots) {
        total += sizeof(ShowSnapshot);
        for (std::size_t i = 0; i < snapshot.values.size(); ++i) total += carriedParts[i].bytes(snapshot.values[i]);
    }
    return total;
}
