#include "scene3ds/scenePlayback.h"

#include "platform/display/renderWindow.h"
#include "scene3ds/matrix4.h"
#include "scene3ds/scene.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

// GL offers at least eight lights; the playback check holds scenes to them.
constexpr int maxSceneLights = 8;

// The segment and weights for a frame, settled edges first. With keyIndex < 0 the value is
// one key's (valueKey); otherwise the value blends keys keyIndex - 1 and keyIndex.
struct Segment {
    int valueKey = -1;
    int keyIndex = -1;
    bool linear = false;
    float t = 0.0f;
};

// frameOf(i) is the frame of key i; keyCount is at least 1.
Segment findSegment(int keyCount, std::int16_t frame, const std::function<std::int16_t(int)>& frameOf)
{
    Segment segment;
    if (frame < frameOf(0)) {
        segment.valueKey = 0;
        return segment;
    }
    if (frame >= frameOf(keyCount - 1)) {
        segment.valueKey = keyCount - 1;
        return segment;
    }
    if (keyCount == 2) {
        // Measured from the first key's frame; equal to frame / K[1].frame when K[0] is at 0.
        segment.keyIndex = 1;
        segment.linear = true;
        segment.t = static_cast<float>(frame - frameOf(0)) / static_cast<float>(frameOf(1) - frameOf(0));
        return segment;
    }
    int i = 1;
    while (frameOf(i) < frame) ++i;
    segment.keyIndex = i;
    segment.t = static_cast<float>(frame - frameOf(i - 1)) / static_cast<float>(frameOf(i) - frameOf(i - 1));
    return segment;
}

} // namespace

void vectorTrackValue(const VectorTrack& track, std::int16_t frame, float value[3])
{
    const Segment segment = findSegment(track.keyCount, frame, [&track](int i) { return track.keys[i].frame; });
    if (segment.valueKey >= 0) {
        for (int c = 0; c < 3; ++c) value[c] = track.keys[segment.valueKey].value[c];
        return;
    }
    const VectorKey& from = track.keys[segment.keyIndex - 1];
    const VectorKey& to = track.keys[segment.keyIndex];
    const float t = segment.t;
    if (segment.linear) {
        for (int c = 0; c < 3; ++c) value[c] = from.value[c] + (to.value[c] - from.value[c]) * t;
        return;
    }
    const float h1 = t * t * (2.0f * t - 3.0f) + 1.0f;
    const float h2 = t * t * (t - 2.0f) + t;
    const float h3 = t * t * (3.0f - 2.0f * t);
    const float h4 = t * t * (t - 1.0f);
    for (int c = 0; c < 3; ++c) {
        value[c] = h1 * from.value[c] + h2 * from.tangent[c] + h3 * to.value[c] + h4 * to.tangent[c];
    }
}

float scalarTrackValue(const ScalarTrack& track, std::int16_t frame)
{
    const Segment segment = findSegment(track.keyCount, frame, [&track](int i) { return track.keys[i].frame; });
    if (segment.valueKey >= 0) return track.keys[segment.valueKey].value;
    const ScalarKey& from = track.keys[segment.keyIndex - 1];
    const ScalarKey& to = track.keys[segment.keyIndex];
    const float t = segment.t;
    if (segment.linear) return from.value + (to.value - from.value) * t;
    const float h1 = t * t * (2.0f * t - 3.0f) + 1.0f;
    const float h2 = t * t * (t - 2.0f) + t;
    const float h3 = t * t * (3.0f - 2.0f * t);
    const float h4 = t * t * (t - 1.0f);
    return h1 * from.value + h2 * from.tangent + h3 * to.value + h4 * to.tangent;
}

void evaluateVectorTrack(VectorTrack& track, std::int16_t frame)
{
    if (track.keyCount < 1) return;
    vectorTrackValue(track, frame, track.current);
}

void evaluateScalarTrack(ScalarTrack& track, std::int16_t frame)
{
    if (track.keyCount < 1) return;
    track.current = scalarTrackValue(track, frame);
}

void rotationStep(const RotationTrack& track, std::int16_t frame, int& key, float& fraction)
{
    // The angle is interpolated linearly inside the current key's own turn; the turns of
    // earlier keys come from the accumulated matrix.
    const std::vector<RotationKey>& keys = track.keys;
    const int keyCount = track.keyCount;
    key = keyCount - 1;
    fraction = 1.0f;
    if (frame < keys[0].frame) {
        key = 0;
    } else if (frame < keys[keyCount - 1].frame) {
        key = 1;
        while (keys[key].frame < frame) ++key;
        fraction = static_cast<float>(frame - keys[key - 1].frame) / static_cast<float>(keys[key].frame - keys[key - 1].frame);
    }
}

std::int16_t playbackFrame(const Scene& scene, std::int16_t frame)
{
    if (frame < 0 || scene.frameCount <= 0) return 0;
    // Wraps modulo frameCount, so the frame after the last is frame 0.
    return static_cast<std::int16_t>(frame % scene.frameCount);
}

void poseNodes(const Scene& scene, std::int16_t frame, std::vector<NodePose>& poses)
{
    const std::int16_t played = playbackFrame(scene, frame);
    poses.resize(scene.nodes.size());
    for (std::size_t i = 0; i < scene.nodes.size(); ++i) {
        const SceneNode& node = scene.nodes[i];
        float* world = poses[i].world;
        if (node.parent) {
            const float* parentWorld = poses[node.parent - scene.nodes.data()].world;
            std::copy(parentWorld, parentWorld + 16, world);
        } else {
            identityMatrix(world);
        }
        // A track without keys, which the playback check refuses, stands still here, so the
        // reader can frame a scene before it is checked.
        float value[3] = {0.0f, 0.0f, 0.0f}, step[16];
        if (node.posTrack && node.posTrack->keyCount > 0) vectorTrackValue(*node.posTrack, played, value);
        translationMatrix(value[0], value[1], value[2], step);
        multiplyMatrices(world, step, world);
        if (node.rotTrack && node.rotTrack->keyCount > 0) {
            int key;
            float fraction;
            rotationStep(*node.rotTrack, played, key, fraction);
            const RotationKey& turn = node.rotTrack->keys[key];
            rotationMatrix(-fraction * turn.angle * 180.0f / 3.141592f, turn.axis[0], turn.axis[1], turn.axis[2], step);
            multiplyMatrices(world, step, world);
            if (key > 0) multiplyMatrices(world, node.rotTrack->keys[key - 1].accumulated, world);
        }
        value[0] = value[1] = value[2] = 1.0f;
        if (node.scaleTrack && node.scaleTrack->keyCount > 0) vectorTrackValue(*node.scaleTrack, played, value);
        scaleMatrix(value[0], value[1], value[2], step);
        multiplyMatrices(world, step, world);
        multiplyMatrices(world, node.meshMatrix, poses[i].drawn);
    }
}

bool sceneBounds(const Scene& scene, std::int16_t frame, std::vector<NodeBounds>* perNode, float low[3],
                 float high[3])
{
    std::vector<NodePose> poses;
    poseNodes(scene, frame, poses);
    bool any = false;
    for (std::size_t i = 0; i < scene.nodes.size(); ++i) {
        const Mesh* mesh = scene.nodes[i].mesh;
        if (!mesh || mesh->vertexCount < 1) continue;
        NodeBounds box;
        box.node = static_cast<int>(i);
        const float* m = poses[i].drawn;
        const float* positions = mesh->positions[mesh->frameCount - 1];
        for (int v = 0; v < mesh->vertexCount; ++v) {
            const float* p = positions + 3 * v;
            for (int r = 0; r < 3; ++r) {
                const float coordinate = m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r];
                if (v == 0 || coordinate < box.low[r]) box.low[r] = coordinate;
                if (v == 0 || coordinate > box.high[r]) box.high[r] = coordinate;
            }
        }
        for (int r = 0; r < 3; ++r) {
            if (!any || box.low[r] < low[r]) low[r] = box.low[r];
            if (!any || box.high[r] > high[r]) high[r] = box.high[r];
        }
        any = true;
        if (perNode) perNode->push_back(box);
    }
    return any;
}

void viewUpDirection(const double eye[3], double centre[3], double up[3])
{
    const double along[3] = {centre[0] - eye[0], centre[1] - eye[1], centre[2] - eye[2]};
    const double length = std::sqrt(along[0] * along[0] + along[1] * along[1] + along[2] * along[2]);
    up[0] = 0.0;
    up[1] = 0.0;
    up[2] = 1.0;
    if (length == 0.0) {
        centre[1] += 1.0;
    } else if (std::fabs(along[0]) <= 1e-6 * length && std::fabs(along[1]) <= 1e-6 * length) {
        up[1] = 1.0;
        up[2] = 0.0;
    }
}

void Scene::draw()
{
    frame = playbackFrame(*this, frame);

    evaluateVectorTrack(*cameraTrack, frame);
    evaluateVectorTrack(*targetTrack, frame);
    evaluateScalarTrack(*rollTrack, frame);
    evaluateScalarTrack(*fovTrack, frame);

    // Roll and look-at go to the model-view through viewMatrix; the projection keeps the
    // perspective alone.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glRotatef(rollTrack->current + rollOffset, 0.0f, 0.0f, 1.0f);
    const double eye[3] = {cameraTrack->current[0] + cameraOffset[0], cameraTrack->current[1] + cameraOffset[1],
                           cameraTrack->current[2] + cameraOffset[2]};
    double centre[3] = {targetTrack->current[0] + targetOffset[0], targetTrack->current[1] + targetOffset[1],
                        targetTrack->current[2] + targetOffset[2]};
    double up[3];
    viewUpDirection(eye, centre, up);
    gluLookAt(eye[0], eye[1], eye[2], centre[0], centre[1], centre[2], up[0], up[1], up[2]);
    glGetFloatv(GL_PROJECTION_MATRIX, viewMatrix);
    glLoadIdentity();
    gluPerspective(fovTrack->current + fovOffset, static_cast<double>(host->width) / static_cast<double>(host->height),
                   nearPlane, farPlane);
    glMatrixMode(GL_MODELVIEW);

    glDisable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);

    static const float lightAmbient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    static const float lightSpecular[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    for (Light& light : lights) {
        evaluateVectorTrack(*light.posTrack, frame);
        evaluateVectorTrack(*light.colorTrack, frame);
        for (int c = 0; c < 3; ++c) light.diffuse[c] = light.colorTrack->current[c];
        light.position[0] = light.position[1] = light.position[2] = 0.0f;
        light.position[3] = 1.0f;
        glLightfv(light.glLight, GL_AMBIENT, lightAmbient);
        glLightfv(light.glLight, GL_DIFFUSE, light.diffuse);
        glLightfv(light.glLight, GL_SPECULAR, lightSpecular);
        // A point light at the track's position in scene space; a head light shines along
        // the view from behind the eye, evenly over each flat face.
        if (light.headLight) {
            light.position[2] = 1.0f;
            light.position[3] = 0.0f;
            glLoadIdentity();
        } else {
            glLoadMatrixf(viewMatrix);
            glTranslatef(light.posTrack->current[0], light.posTrack->current[1], light.posTrack->current[2]);
        }
        glLightfv(light.glLight, GL_POSITION, light.position);
        glEnable(light.glLight);
    }
    // Lights that an earlier scene or effect turned on would otherwise shine into this one.
    for (int i = static_cast<int>(lights.size()); i < maxSceneLights; ++i) glDisable(GL_LIGHT0 + i);

    for (SceneNode& node : nodes) {
        evaluateVectorTrack(*node.posTrack, frame);
        evaluateVectorTrack(*node.scaleTrack, frame);
        glLoadMatrixf(node.parent ? node.parent->world : viewMatrix);
        glTranslatef(node.posTrack->current[0], node.posTrack->current[1], node.posTrack->current[2]);

        int key;
        float fraction;
        rotationStep(*node.rotTrack, frame, key, fraction);
        const RotationKey& turn = node.rotTrack->keys[key];
        // 3.141592 stays as written, a little below pi.
        glRotatef(-fraction * turn.angle * 180.0f / 3.141592f, turn.axis[0], turn.axis[1], turn.axis[2]);
        if (key > 0) glMultMatrixf(node.rotTrack->keys[key - 1].accumulated);

        glScalef(node.scaleTrack->current[0], node.scaleTrack->current[1], node.scaleTrack->current[2]);
        glGetFloatv(GL_MODELVIEW_MATRIX, node.world);
        // A grouping node only places its children.
        if (!node.mesh) continue;
        glMultMatrixf(node.meshMatrix);
        node.mesh->draw();
    }

    glDisable(GL_LIGHTING);
    rollOffset = 0.0f;
    fovOffset = 0.0f;
    for (int c = 0; c < 3; ++c) {
        cameraOffset[c] = 0.0f;
        targetOffset[c] = 0.0f;
    }
}
