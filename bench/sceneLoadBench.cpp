// Loading speed of the .3ds walk (both passes, mesh chunks, tracks and the binding after
// it; no GL, no textures) on a scene of several megabytes made by the writer, in MB/s.
#include "platform/files/loadError.h"
#include "scene3ds/scene.h"
#include "tools/writer3ds/writer3ds.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>

namespace {

// 60 objects of a 40 x 50 grid each (2000 vertices, 3822 faces, mapping for every vertex),
// each with a 1000-key position track and a 500-key rotation track.
std::vector<std::uint8_t> bigScene()
{
    writer3ds::Scene description = writer3ds::sampleScene();
    description.objects.clear();
    description.keyframer.nodes.resize(4);
    description.keyframer.nodes.erase(description.keyframer.nodes.begin());
    for (int object = 0; object < 60; ++object) {
        writer3ds::Object grid;
        grid.name = "Grid" + std::to_string(object);
        const int columns = 40, rows = 50;
        for (int row = 0; row < rows; ++row) {
            for (int column = 0; column < columns; ++column) {
                grid.points.push_back({float(column), float(row), std::sin(column * 0.3f + object) * 2.0f});
                grid.texCoords.push_back({column / float(columns - 1), row / float(rows - 1)});
            }
        }
        for (int row = 0; row + 1 < rows; ++row) {
            for (int column = 0; column + 1 < columns; ++column) {
                const std::uint16_t a = static_cast<std::uint16_t>(row * columns + column);
                const std::uint16_t b = static_cast<std::uint16_t>(a + 1);
                const std::uint16_t c = static_cast<std::uint16_t>(a + columns + 1);
                const std::uint16_t d = static_cast<std::uint16_t>(a + columns);
                grid.faces.push_back({a, b, c});
                grid.faces.push_back({a, c, d});
            }
        }
        grid.materialGroups.push_back({"Red", {}});
        grid.writeSmoothGroups = true;
        description.objects.push_back(grid);

        writer3ds::Node node = writer3ds::staticObjectNode(grid.name, -1, {0, 0, 0});
        node.tracks[0].vectorKeys.clear();
        for (int key = 0; key < 1000; ++key) {
            writer3ds::VectorKey position;
            position.frame = key;
            position.value = {float(key), std::sin(key * 0.1f), 0.0f};
            node.tracks[0].vectorKeys.push_back(position);
        }
        node.tracks[1].rotationKeys.clear();
        for (int key = 0; key < 500; ++key) {
            writer3ds::RotationKey turn;
            turn.frame = 2 * key;
            turn.angle = 0.01f;
            turn.axis = {0.0f, 0.6f, 0.8f};
            node.tracks[1].rotationKeys.push_back(turn);
        }
        description.keyframer.nodes.push_back(node);
    }
    return writer3ds::sceneBytes(description);
}

void walkScene(benchmark::State& state)
{
    static const std::vector<std::uint8_t> bytes = bigScene();
    for (auto _ : state) {
        Scene scene;
        LoadError error;
        if (!scene.readBytes(bytes.data(), bytes.size(), "bench.3ds", error)) {
            state.SkipWithError(formatLoadError(error).c_str());
            return;
        }
        benchmark::DoNotOptimize(scene.nodes.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes.size()));
    state.counters["fileMB"] = bytes.size() / 1.0e6;
}

} // namespace

// Wall-clock time, so MB/s says how long a load keeps the wait screen up.
BENCHMARK(walkScene)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
