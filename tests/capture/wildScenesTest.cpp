// The demo's start-up and drawing over its own scenes saved as modelling tools save them
// (dummies, regrouped roots, static objects, further instances), and over scenes rearranged
// by the structure-aware mutator: it draws, or refuses with a message naming the scene.
#include "tests/capture/captureRun.h"

#include "platform/files/loadError.h"
#include "scene3ds/playbackCheck.h"
#include "scene3ds/scene.h"
#include "timeline/demoSchedule.h"
#include "tools/fuzz/chunkTree.h"
#include "tools/fuzz/sceneMutator.h"
#include "tools/writer3ds/writer3ds.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <thread>

using namespace writer3ds;

namespace {

// Moments inside every window of the schedule.
const std::vector<std::string> momentsInEveryWindow = {"5", "14", "30", "57", "75", "95", "120", "150", "170.5"};

// A moment soon after the start of the first window that draws each scene, so that a
// capture there draws few frames.
const std::map<std::string, std::string> sceneMoment = {
    {"title.3ds", "0.5"},   {"trawa.3ds", "10.5"},   {"blind1.3ds", "10.5"}, {"kostka2.3ds", "85.5"},
    {"rurki.3ds", "65.5"},  {"elemenci.3ds", "0.5"}, {"tlo1.3ds", "85.5"},   {"fabryka.3ds", "65.5"},
    {"credy.3ds", "85.5"},  {"girorobo.3ds", "105.5"}, {"last.3ds", "135.5"}, {"gridlogo.3ds", "169.5"},
};

std::vector<std::uint8_t> packScene(const std::string& name)
{
    std::ifstream file(generatedDataFolder() + "/" + name, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// A run folder whose data/ links every file of the generated pack but the scenes given,
// which are written from their bytes.
std::string packWith(const std::string& prefix, const std::map<std::string, std::vector<std::uint8_t>>& scenes)
{
    const std::string folder = makeTempFolder(prefix);
    std::filesystem::create_directory(folder + "/data");
    for (const auto& entry : std::filesystem::directory_iterator(generatedDataFolder())) {
        const std::string name = entry.path().filename().string();
        if (!scenes.count(name)) std::filesystem::create_symlink(entry.path(), folder + "/data/" + name);
    }
    for (const auto& [name, bytes] : scenes) {
        std::string error;
        EXPECT_TRUE(saveFile(folder + "/data/" + name, bytes, error)) << error;
    }
    return folder;
}

ProcessResult captureIn(const std::string& folder, std::vector<std::string> args)
{
    ProcessOptions options;
    options.workingDirectory = folder;
    options.timeoutSeconds = 300.0;
    return runProcess(std::string(KESU_BINARY_DIR) + "/tools/capture/kesu-capture", args, options);
}

// run(i) for i from 0 to count - 1, two at a time: each capture is mostly one processor's
// work, and the sanitized build takes most of a second to start one.
void twoAtATime(std::size_t count, const std::function<void(std::size_t)>& run)
{
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i; (i = next++) < count;) run(i);
    };
    std::thread helper(work);
    work();
    helper.join();
}

// At 20 frames per second: the pictures the variants are held to come from the same clock.
std::vector<std::string> atEveryWindow(const std::string& out)
{
    std::vector<std::string> args = {"--size", "96x72", "--fps", "20", "--check-gl", "--out", out};
    for (const std::string& moment : momentsInEveryWindow) args.insert(args.end(), {"--at", moment});
    return args;
}

// The scene as a modelling tool might save it, through its chunk tree.
std::vector<std::uint8_t> edited(const std::vector<std::uint8_t>& bytes,
                                 const std::function<void(std::vector<ChunkNode>&)>& edit)
{
    std::vector<ChunkNode> tree;
    EXPECT_TRUE(parseChunkTree(bytes.data(), bytes.size(), tree));
    edit(tree);
    return chunkTreeBytes(tree);
}

ChunkNode chunkOf(const std::function<void(ChunkWriter&)>& write)
{
    ChunkWriter writer;
    write(writer);
    std::vector<ChunkNode> chunks;
    parseChunkTree(writer.bytes().data(), writer.size(), chunks);
    return chunks.at(0);
}

ChunkNode& keyframerOf(std::vector<ChunkNode>& tree)
{
    ChunkNode* keyframer = findChunk(tree, CHUNK_KEYFRAMER);
    EXPECT_NE(keyframer, nullptr);
    return *keyframer;
}

// A childless dummy with an instance name after the last node.
void appendDummy(std::vector<ChunkNode>& tree)
{
    ChunkNode& keyframer = keyframerOf(tree);
    keyframer.children.push_back(chunkOf([](ChunkWriter& writer) { writeNode(writer, dummyNode("Helper", -1, {0, 0, 0}), 900); }));
}

// Every root under one identity dummy placed before the first object node; each object
// node goes one level deeper.
void regroupRoots(std::vector<ChunkNode>& tree)
{
    ChunkNode& keyframer = keyframerOf(tree);
    std::size_t first = keyframer.children.size();
    for (std::size_t i = 0; i < keyframer.children.size(); ++i) {
        ChunkNode& node = keyframer.children[i];
        if (node.id != CHUNK_OBJECT_NODE) continue;
        first = std::min(first, i);
        for (ChunkNode& part : node.children) {
            if (part.id != CHUNK_NODE_HEADER) continue;
            std::size_t at = 0;
            while (part.data[at] != 0) ++at;
            at += 5;
            const std::uint16_t hierarchy = static_cast<std::uint16_t>(part.data[at] | (part.data[at + 1] << 8)) + 1;
            part.data[at] = static_cast<std::uint8_t>(hierarchy);
            part.data[at + 1] = static_cast<std::uint8_t>(hierarchy >> 8);
        }
    }
    keyframer.children.insert(keyframer.children.begin() + static_cast<long>(first),
                              chunkOf([](ChunkWriter& writer) { writeNode(writer, dummyNode("Group", -1, {0, 0, 0}), 901); }));
}

// A box with neither keyframer node nor material group, and a further instance of the
// scene's first object.
void addStaticObjectAndInstance(std::vector<ChunkNode>& tree)
{
    Object box = boxObject("Loose", {0, 0, 0}, {10, 10, 10}, "");
    box.materialGroups.clear();
    findChunk(tree, CHUNK_EDITOR)->children.push_back(chunkOf([&box](ChunkWriter& writer) { writeObject(writer, box); }));
    const ChunkNode* firstObject = findChunk(tree, CHUNK_NAMED_OBJECT);
    ASSERT_NE(firstObject, nullptr);
    Node instance = staticObjectNode(reinterpret_cast<const char*>(firstObject->data.data()), -1, {5, 5, 5});
    instance.instanceName = "copy";
    keyframerOf(tree).children.push_back(chunkOf([&instance](ChunkWriter& writer) { writeNode(writer, instance, 902); }));
}

} // namespace

// A dummy appended to every scene and the roots regrouped under an identity dummy (in every
// scene but "elemenci.3ds", whose first node the title follows) draw the very same pictures;
// a static object and an extra instance in every scene draw without a GL error.
TEST(WildScenes, PackScenesSavedAsModellingToolsDoStartAndDraw)
{
    struct Variant {
        const char* name;
        std::function<void(std::vector<ChunkNode>&)> edit;
        bool samePictures;
        bool keepsElements;   // leaves "elemenci.3ds" as it is
    };
    const std::vector<Variant> variants = {
        {"dummy appended", appendDummy, true, false},
        {"roots regrouped", regroupRoots, true, true},
        {"static object and instance", addStaticObjectAndInstance, false, false},
    };
    // The plain pack first, then each variant in a folder of its own.
    std::vector<std::string> folders = {std::string(KESU_BINARY_DIR) + "/testdata"};
    for (const Variant& variant : variants) {
        std::map<std::string, std::vector<std::uint8_t>> scenes;
        for (const char* file : sceneFiles) {
            if (variant.keepsElements && std::string(file) == "elemenci.3ds") continue;
            scenes[file] = edited(packScene(file), variant.edit);
        }
        folders.push_back(packWith("wild", scenes));
    }
    const std::string reference = makeTempFolder("wild-reference");
    std::vector<ProcessResult> runs(folders.size());
    twoAtATime(folders.size(), [&](std::size_t i) {
        runs[i] = captureIn(folders[i], atEveryWindow(i == 0 ? reference : folders[i] + "/frames"));
    });
    ASSERT_EQ(runs[0].exitStatus, 0) << runs[0].err;
    for (std::size_t v = 0; v < variants.size(); ++v) {
        const Variant& variant = variants[v];
        const std::string& folder = folders[v + 1];
        ASSERT_EQ(runs[v + 1].exitStatus, 0) << variant.name << ": " << runs[v + 1].err;
        if (!variant.samePictures) continue;
        for (const std::string& path : pngFilesIn(reference)) {
            std::string error;
            const Picture expected = readPicture(path, error);
            const Picture actual =
                readPicture(folder + "/frames/" + std::filesystem::path(path).filename().string(), error);
            EXPECT_TRUE(!expected.rgba.empty() && expected.rgba == actual.rgba)
                << variant.name << ": " << path << " differs " << error;
        }
    }
}

// Scenes of the pack rearranged by the mutator from a fixed seed, kept when the scene
// check accepts them: each one in the pack either starts and draws its scene or is
// refused with a message naming it. Never a signal or a sanitizer report.
TEST(WildScenes, MutatedScenesThatPassTheCheckStartOrAreRefusedByName)
{
    std::mt19937 random(20261207);
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> mutants;
    for (int attempt = 0; attempt < 400 && mutants.size() < 32; ++attempt) {
        const std::string file = sceneFiles[attempt % sceneCount];
        const std::vector<std::uint8_t> mutated =
            mutateScene(packScene(file), packScene(sceneFiles[(attempt * 7 + 3) % sceneCount]), random, 262144);
        ::Scene scene;
        LoadError error;
        if (mutated.empty() || !scene.readBytes(mutated.data(), mutated.size(), file, error) ||
            !checkScenePlayback(scene, {}, error)) {
            continue;
        }
        mutants.emplace_back(file, mutated);
    }
    ASSERT_GE(mutants.size(), 20u) << "the mutator made too few drawable scenes";
    std::vector<std::pair<std::string, ProcessResult>> runs(mutants.size());
    twoAtATime(mutants.size(), [&](std::size_t i) {
        const auto& [file, bytes] = mutants[i];
        runs[i].first = packWith("mutant", {{file, bytes}});
        runs[i].second = captureIn(runs[i].first, {"--size", "32x24", "--at", sceneMoment.at(file), "--out", "frames"});
    });
    for (std::size_t i = 0; i < mutants.size(); ++i) {
        const std::string& file = mutants[i].first;
        const auto& [folder, run] = runs[i];
        EXPECT_EQ(run.signal, 0) << file << ": " << run.err;
        EXPECT_TRUE(run.exitStatus == 0 || (run.exitStatus == 1 && run.err.find("data/" + file) != std::string::npos))
            << file << " (kept in " << folder << "): status " << run.exitStatus << ": " << run.err;
        EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << file << ": " << run.err;
        EXPECT_EQ(run.err.find("runtime error"), std::string::npos) << file << ": " << run.err;
        if (run.exitStatus == 0) std::filesystem::remove_all(folder);
    }
}
