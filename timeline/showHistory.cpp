#include "timeline/showHistory.h"

#include "timeline/demoTimeline.h"

void takeShowSnapshot(ShowSnapshot& snapshot)
{
    snapshot.random = particleRandom();
    snapshot.beat = frameBeat();
    saveTitleStreams(snapshot.title);
    saveFactoryRewind(snapshot.factory);
    saveCubeCredits(snapshot.credits);
    saveFinaleSphere(snapshot.finale);
}

void restoreShowSnapshot(const ShowSnapshot& snapshot)
{
    particleRandom() = snapshot.random;
    setFrameBeat(snapshot.beat);
    restoreTitleStreams(snapshot.title);
    restoreFactoryRewind(snapshot.factory);
    restoreCubeCredits(snapshot.credits);
    restoreFinaleSphere(snapshot.finale);
}

std::size_t ShowHistory::bytes() const
{
    std::size_t total = 0;
    for (const ShowSnapshot& snapshot : snapshots) {
        std::size_t particles = snapshot.title.jetA.nodes.capacity() + snapshot.title.jetB.nodes.capacity() +
                                snapshot.credits.sparks.nodes.capacity();
        for (const EmitterSnapshot& smoke : snapshot.factory.smoke) particles += smoke.nodes.capacity();
        total += sizeof(ShowSnapshot) + particles * sizeof(EmitterSnapshot::Node);
    }
    return total;
}
