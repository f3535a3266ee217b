// Writes seed files for the .3ds fuzzer into the directory given: the sample scene and
// variations that reach the reader's less common paths (24-bit colours, float
// percentages, maps, spline flags, light tracks in reverse order, hierarchies, many keys).
#include "tools/writer3ds/writer3ds.h"

#include <cstdio>
#include <string>
#include <sys/stat.h>

using namespace writer3ds;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: kesu_fuzz_seeds DIRECTORY\n");
        return 2;
    }
    const std::string directory = argv[1];
    mkdir(directory.c_str(), 0755);

    std::vector<std::pair<std::string, Scene>> seeds;
    seeds.push_back({"sample.3ds", sampleScene()});

    Scene textured = sampleScene();
    textured.materials[0].ambient = colour24(255, 128, 0);
    textured.materials[0].transparency = percentFloat(50.0f);
    textured.materials[0].textureMap = "tex.jpg";
    textured.materials[0].opacityMap = "mask.jpg";
    textured.objects[0].writeSmoothGroups = true;
    seeds.push_back({"textured.3ds", textured});

    Scene splines = sampleScene();
    for (Node& node : splines.keyframer.nodes) {
        for (Track& track : node.tracks) {
            for (VectorKey& key : track.vectorKeys) key.spline.flags = 0x1F;
            for (ScalarKey& key : track.scalarKeys) key.spline.flags = 0x05;
            for (RotationKey& key : track.rotationKeys) key.spline.flags = 0x10;
        }
    }
    splines.keyframer.nodes[3].tracks = {splines.keyframer.nodes[3].tracks[1], splines.keyframer.nodes[3].tracks[0]};
    seeds.push_back({"splines.3ds", splines});

    Scene family = sampleScene();
    family.keyframer.nodes.clear();
    const char* names[] = {"A", "B", "C", "D"};
    const std::int16_t hierarchy[] = {-1, 0, 1, 0};
    family.objects.clear();
    for (int i = 0; i < 4; ++i) {
        family.objects.push_back(boxObject(names[i], {float(i), 0.0f, 0.0f}, {float(i) + 1.0f, 1.0f, 1.0f}, "Red"));
        Node node = staticObjectNode(names[i], hierarchy[i], {float(i), 0.0f, 0.0f});
        std::vector<VectorKey> keys;
        for (int k = 0; k < 5; ++k) {
            VectorKey key;
            key.frame = 25 * k;
            key.value = {float(k), float(k * k), 0.0f};
            keys.push_back(key);
        }
        node.tracks[0].vectorKeys = keys;
        RotationKey turn;
        turn.frame = 50;
        turn.angle = 1.5707963f;
        node.tracks[1].rotationKeys.push_back(turn);
        family.keyframer.nodes.push_back(node);
    }
    for (int i = 1; i < 4; ++i) family.keyframer.nodes.push_back(sampleScene().keyframer.nodes[i]);
    seeds.push_back({"family.3ds", family});

    for (const auto& seed : seeds) {
        std::string error;
        if (!saveFile(directory + "/" + seed.first, sceneBytes(seed.second), error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
    }
    return 0;
}
