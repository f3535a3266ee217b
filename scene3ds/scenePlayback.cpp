#include "scene3ds/scenePlayback.h"

#include "platform/renderWindow.h"
#include "scene3ds/scene.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <functional>

namespace {

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

void evaluateVectorTrack(VectorTrack& track, std::int16_t frame)
{
    if (track.keyCount < 1) return;
    const Segment segment = findSegment(track.keyCount, frame, [&track](int i) { return track.keys[i].frame; });
    if (segment.valueKey >= 0) {
        for (int c = 0; c < 3; ++c) track.current[c] = track.keys[segment.valueKey].value[c];
        return;
    }
    const VectorKey& from = track.keys[segment.keyIndex - 1];
    const VectorKey& to = track.keys[segment.keyIndex];
    const float t = segment.t;
    if (segment.linear) {
        for (int c = 0; c < 3; ++c) track.current[c] = from.value[c] + (to.value[c] - from.value[c]) * t;
        return;
    }
    const float h1 = t * t * (2.0f * t - 3.0f) + 1.0f;
    const float h2 = t * t * (t - 2.0f) + t;
    const float h3 = t * t * (3.0f - 2.0f * t);
    const float h4 = t * t * (t - 1.0f);
    for (int c = 0; c < 3; ++c) {
        track.current[c] = h1 * from.value[c] + h2 * from.tangent[c] + h3 * to.value[c] + h4 * to.tangent[c];
    }
}

void evaluateScalarTrack(ScalarTrack& track, std::int16_t frame)
{
    if (track.keyCount < 1) return;
    const Segment segment = findSegment(track.keyCount, frame, [&track](int i) { return track.keys[i].frame; });
    if (segment.valueKey >= 0) {
        track.current = track.keys[segment.valueKey].value;
        return;
    }
    const ScalarKey& from = track.keys[segment.keyIndex - 1];
    const ScalarKey& to = track.keys[segment.keyIndex];
    const float t = segment.t;
    if (segment.linear) {
        track.current = from.value + (to.value - from.value) * t;
        return;
    }
    const float h1 = t * t * (2.0f * t - 3.0f) + 1.0f;
    const float h2 = t * t * (t - 2.0f) + t;
    const float h3 = t * t * (3.0f - 2.0f * t);
    const float h4 = t * t * (t - 1.0f);
    track.current = h1 * from.value + h2 * from.tangent + h3 * to.value + h4 * to.tangent;
}

std::int16_t playbackFrame(const Scene& scene, std::int16_t frame)
{
    if (frame < 0) frame = 0;
    return static_cast<std::int16_t>(frame % scene.frameCount);
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
    gluLookAt(cameraTrack->current[0] + cameraOffset[0], cameraTrack->current[1] + cameraOffset[1],
              cameraTrack->current[2] + cameraOffset[2], targetTrack->current[0] + targetOffset[0],
              targetTrack->current[1] + targetOffset[1], targetTrack->current[2] + targetOffset[2], 0.0, 0.0, 1.0);
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
        // A point light at the track's position in scene space.
        glLoadMatrixf(viewMatrix);
        glTranslatef(light.posTrack->current[0], light.posTrack->current[1], light.posTrack->current[2]);
        glLightfv(light.glLight, GL_POSITION, light.position);
        glEnable(light.glLight);
    }

    for (SceneNode& node : nodes) {
        evaluateVectorTrack(*node.posTrack, frame);
        evaluateVectorTrack(*node.scaleTrack, frame);
        glLoadMatrixf(node.parent ? node.parent->world : viewMatrix);
        glTranslatef(node.posTrack->current[0], node.posTrack->current[1], node.posTrack->current[2]);

        // The angle is interpolated linearly inside the current key's own turn; the turns of
        // earlier keys come from the accumulated matrix. Before the first key the first
        // key's turn applies in full.
        const std::vector<RotationKey>& keys = node.rotTrack->keys;
        const int keyCount = node.rotTrack->keyCount;
        int j = keyCount - 1;
        float x = 1.0f;
        if (frame < keys[0].frame) {
            j = 0;
        } else if (frame < keys[keyCount - 1].frame) {
            j = 1;
            while (keys[j].frame < frame) ++j;
            x = static_cast<float>(frame - keys[j - 1].frame) / static_cast<float>(keys[j].frame - keys[j - 1].frame);
        }
        // 3.141592 stays as written, a little below pi.
        glRotatef(-x * keys[j].angle * 180.0f / 3.141592f, keys[j].axis[0], keys[j].axis[1], keys[j].axis[2]);
        if (j > 0) glMultMatrixf(keys[j - 1].accumulated);

        glScalef(node.scaleTrack->current[0], node.scaleTrack->current[1], node.scaleTrack->current[2]);
        glGetFloatv(GL_MODELVIEW_MATRIX, node.world);
        glTranslatef(-node.pivot[0], -node.pivot[1], -node.pivot[2]);
        glMultMatrixf(node.restInverse);
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
