#include "tools/fuzz/sceneMutator.h"

#include "scene3ds/chunkIds.h"
#include "tools/fuzz/chunkTree.h"

#include <cstring>
#include <limits>
#include <string>

namespace writer3ds {

namespace {

// A chunk's place: the list that holds it and its index there. The top level is a list too.
struct Place {
    std::vector<ChunkNode>* list;
    std::size_t index;
};

void collectPlaces(std::vector<ChunkNode>& list, std::vector<Place>& places, std::vector<std::vector<ChunkNode>*>& lists)
{
    lists.push_back(&list);
    for (std::size_t i = 0; i < list.size(); ++i) {
        places.push_back({&list, i});
        if (list[i].container) collectPlaces(list[i].children, places, lists);
    }
}

std::size_t pick(std::mt19937& random, std::size_t count)
{
    return std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
}

// Places of chunks with one of these ids.
std::vector<ChunkNode*> chunksWithId(std::vector<ChunkNode>& tree, std::initializer_list<std::uint16_t> ids)
{
    std::vector<ChunkNode*> found;
    for (ChunkNode* chunk : allChunks(tree)) {
        for (std::uint16_t id : ids) {
            if (chunk->id == id) found.push_back(chunk);
        }
    }
    return found;
}

std::string zeroTerminated(const std::vector<std::uint8_t>& data)
{
    std::string text;
    for (std::uint8_t byte : data) {
        if (byte == 0) break;
        text += static_cast<char>(byte);
    }
    return text;
}

// A name the scene might bind by: another object's, a dummy's, empty, or longer than any
// name buffer.
std::string nameFor(std::vector<ChunkNode>& tree, std::mt19937& random)
{
    switch (pick(random, 4)) {
    case 0: {
        std::vector<ChunkNode*> objects = chunksWithId(tree, {CHUNK_NAMED_OBJECT});
        if (!objects.empty()) return zeroTerminated(objects[pick(random, objects.size())]->data);
        return "Box";
    }
    case 1: return "$$$DUMMY";
    case 2: return "";
    default: return std::string(200 + pick(random, 200), 'N');
    }
}

void putU16(std::vector<std::uint8_t>& data, std::size_t at, std::uint16_t value)
{
    if (at + 2 > data.size()) return;
    data[at] = static_cast<std::uint8_t>(value);
    data[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

std::uint16_t getU16(const std::vector<std::uint8_t>& data, std::size_t at)
{
    return at + 2 <= data.size() ? static_cast<std::uint16_t>(data[at] | (data[at + 1] << 8)) : 0;
}

std::uint16_t sixteenBitValue(std::mt19937& random, std::uint16_t current)
{
    const std::uint16_t choices[] = {0xFFFF, 0, 1, 2, static_cast<std::uint16_t>(current + 1),
                                     static_cast<std::uint16_t>(current - 1), 0x7FFF, 0x8000,
                                     static_cast<std::uint16_t>(random())};
    return choices[pick(random, sizeof choices / sizeof choices[0])];
}

bool renameNode(std::vector<ChunkNode>& tree, std::mt19937& random)
{
    std::vector<ChunkNode*> names = chunksWithId(tree, {CHUNK_NODE_HEADER, CHUNK_INSTANCE_NAME});
    if (names.empty()) return false;
    ChunkNode& chunk = *names[pick(random, names.size())];
    std::size_t end = 0;
    while (end < chunk.data.size() && chunk.data[end] != 0) ++end;
    const std::string name = nameFor(tree, random);
    std::vector<std::uint8_t> data(name.begin(), name.end());
    data.push_back(0);
    if (end < chunk.data.size()) data.insert(data.end(), chunk.data.begin() + end + 1, chunk.data.end());
    chunk.data = std::move(data);
    return true;
}

// The header's hierarchy value follows its name and two flag words.
bool changeHierarchy(std::vector<ChunkNode>& tree, std::mt19937& random)
{
    std::vector<ChunkNode*> headers = chunksWithId(tree, {CHUNK_NODE_HEADER});
    if (headers.empty()) return false;
    ChunkNode& header = *headers[pick(random, headers.size())];
    std::size_t at = 0;
    while (at < header.data.size() && header.data[at] != 0) ++at;
    at += 5;
    if (at + 2 > header.data.size()) return false;
    putU16(header.data, at, sixteenBitValue(random, getU16(header.data, at)));
    return true;
}

bool changeNodeId(std::vector<ChunkNode>& tree, std::mt19937& random)
{
    std::vector<ChunkNode*> ids = chunksWithId(tree, {CHUNK_NODE_ID});
    if (ids.empty()) return false;
    ChunkNode& id = *ids[pick(random, ids.size())];
    putU16(id.data, 0, sixteenBitValue(random, getU16(id.data, 0)));
    return true;
}

// Where each array's count sits in the chunk's data: the first word of the mesh arrays;
// after the name of a material group; after the flags and two words of a track.
bool changeCount(std::vector<ChunkNode>& tree, std::mt19937& random)
{
    std::vector<ChunkNode*> arrays =
        chunksWithId(tree, {CHUNK_POINT_ARRAY, CHUNK_FACE_ARRAY, CHUNK_TEX_VERTS, CHUNK_MATERIAL_GROUP,
                            CHUNK_POSITION_TRACK, CHUNK_ROTATION_TRACK, CHUNK_SCALE_TRACK, CHUNK_FOV_TRACK,
                            CHUNK_ROLL_TRACK, CHUNK_COLOR_TRACK});
    if (arrays.empty()) return false;
    ChunkNode& array = *arrays[pick(random, arrays.size())];
    std::size_t at = 0;
    if (array.id == CHUNK_MATERIAL_GROUP) {
        while (at < array.data.size() && array.data[at] != 0) ++at;
        ++at;
    } else if (array.id >= CHUNK_POSITION_TRACK && array.id <= CHUNK_COLOR_TRACK) {
        at = 10;
    }
    if (at + 2 > array.data.size()) return false;
    putU16(array.data, at, sixteenBitValue(random, getU16(array.data, at)));
    return true;
}

// A float of a track key, a point or a pivot made extreme.
bool changeValue(std::vector<ChunkNode>& tree, std::mt19937& random)
{
    std::vector<ChunkNode*> holders =
        chunksWithId(tree, {CHUNK_POINT_ARRAY, CHUNK_PIVOT, CHUNK_POSITION_TRACK, CHUNK_ROTATION_TRACK,
                            CHUNK_SCALE_TRACK, CHUNK_FOV_TRACK, CHUNK_ROLL_TRACK, CHUNK_COLOR_TRACK, CHUNK_CAMERA,
                            CHUNK_CAMERA_RANGES, CHUNK_LIGHT});
    if (holders.empty()) return false;
    ChunkNode& holder = *holders[pick(random, holders.size())];
    if (holder.data.size() < 4) return false;
    const float values[] = {0.0f, -0.0f, 1e30f, -1e30f, 1e-30f, std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN(), 32768.0f, -1.0f};
    const float value = values[pick(random, sizeof values / sizeof values[0])];
    const std::size_t at = pick(random, holder.data.size() - 3);
    std::memcpy(holder.data.data() + at, &value, 4);
    return true;
}

bool edit(std::vector<ChunkNode>& tree, const std::vector<ChunkNode>& donor, std::mt19937& random)
{
    std::vector<Place> places;
    std::vector<std::vector<ChunkNode>*> lists;
    collectPlaces(tree, places, lists);
    if (places.empty()) return false;
    switch (static_cast<SceneEdit>(pick(random, SCENE_EDIT_KINDS))) {
    case EDIT_MOVE: {
        const Place from = places[pick(random, places.size())];
        ChunkNode moved = std::move((*from.list)[from.index]);
        from.list->erase(from.list->begin() + static_cast<long>(from.index));
        // The moved chunk is out of the tree now, so it cannot land inside itself.
        places.clear();
        lists.clear();
        collectPlaces(tree, places, lists);
        std::vector<ChunkNode>& to = *lists[pick(random, lists.size())];
        to.insert(to.begin() + static_cast<long>(pick(random, to.size() + 1)), std::move(moved));
        return true;
    }
    case EDIT_DUPLICATE: {
        const Place at = places[pick(random, places.size())];
        ChunkNode copy = (*at.list)[at.index];
        at.list->insert(at.list->begin() + static_cast<long>(at.index) + 1, std::move(copy));
        return true;
    }
    case EDIT_DROP: {
        const Place at = places[pick(random, places.size())];
        at.list->erase(at.list->begin() + static_cast<long>(at.index));
        return true;
    }
    case EDIT_SWAP: {
        const Place at = places[pick(random, places.size())];
        if (at.list->size() < 2) return false;
        std::swap((*at.list)[at.index], (*at.list)[pick(random, at.list->size())]);
        return true;
    }
    case EDIT_GRAFT: {
        std::vector<ChunkNode> source = donor.empty() ? tree : donor;
        std::vector<ChunkNode*> chunks = allChunks(source);
        if (chunks.empty()) return false;
        ChunkNode grafted = *chunks[pick(random, chunks.size())];
        std::vector<ChunkNode>& to = *lists[pick(random, lists.size())];
        to.insert(to.begin() + static_cast<long>(pick(random, to.size() + 1)), std::move(grafted));
        return true;
    }
    case EDIT_NODE_NAME: return renameNode(tree, random);
    case EDIT_HIERARCHY: return changeHierarchy(tree, random);
    case EDIT_NODE_ID: return changeNodeId(tree, random);
    case EDIT_COUNT: return changeCount(tree, random);
    case EDIT_VALUE: return changeValue(tree, random);
    default: return false;
    }
}

} // namespace

std::vector<std::uint8_t> mutateScene(const std::vector<std::uint8_t>& bytes, const std::vector<std::uint8_t>& donor,
                                      std::mt19937& random, std::size_t maxSize)
{
    std::vector<ChunkNode> original;
    if (bytes.empty() || !parseChunkTree(bytes.data(), bytes.size(), original)) return {};
    std::vector<ChunkNode> donorTree;
    if (!donor.empty() && !parseChunkTree(donor.data(), donor.size(), donorTree)) donorTree.clear();
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::vector<ChunkNode> tree = original;
        const std::size_t edits = 1 + pick(random, 3);
        std::size_t made = 0;
        for (int tries = 0; made < edits && tries < 16; ++tries) {
            if (edit(tree, donorTree, random)) ++made;
        }
        if (made == 0) continue;
        std::vector<std::uint8_t> mutated = chunkTreeBytes(tree);
        if (!mutated.empty() && mutated.size() <= maxSize && mutated != bytes) return mutated;
    }
    return {};
}

} // namespace writer3ds
