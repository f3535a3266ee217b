#include "timeline/showHistory.h"

#include "timeline/demoSchedule.h"
#include "timeline/showEffects.h"

void stepShow(float demoTime, float previousTime)
{
    for (const ShowEffect& effect : showEffects) {
        if (effect.step) effect.step(effect, demoTime, previousTime);
    }
}

void takeShowSnapshot(ShowSnapshot& snapshot)
{
    snapshot.values.resize(showEffectCount);
    for (int i = 0; i < showEffectCount; ++i) {
        if (showEffects[i].take) showEffects[i].take(snapshot.values[static_cast<std::size_t>(i)]);
    }
}

void restoreShowSnapshot(const ShowSnapshot& snapshot)
{
    for (int i = 0; i < showEffectCount; ++i) {
        if (showEffects[i].putBack) showEffects[i].putBack(snapshot.values[static_cast<std::size_t>(i)]);
    }
}

void refreshShowSnapshots(ShowHistory& history, float windowsFrom)
{
    for (ShowSnapshot& snapshot : history.snapshots) {
        for (int i = 0; i < showEffectCount; ++i) {
            const ShowEffect& effect = showEffects[i];
            if (effect.take && effect.window && effect.window->start >= windowsFrom)
                effect.take(snapshot.values[static_cast<std::size_t>(i)]);
        }
    }
}

std::size_t ShowHistory::bytes() const
{
    std::size_t total = 0;
    for (const ShowSnapshot& snapshot : snapshots) {
        total += sizeof(ShowSnapshot);
        for (std::size_t i = 0; i < snapshot.values.size(); ++i) {
            if (showEffects[i].bytes) total += showEffects[i].bytes(snapshot.values[i]);
        }
    }
    return total;
}
