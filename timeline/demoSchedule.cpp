#include "timeline/demoSchedule.h"

#include <iterator>

const char* const sceneFiles[sceneCount] = {
    "title.3ds", "trawa.3ds",    "blind1.3ds", "kostka2.3ds",  "rurki.3ds", "elemenci.3ds",
    "tlo1.3ds",  "fabryka.3ds", "credy.3ds",  "girorobo.3ds", "last.3ds",  "gridlogo.3ds",
};

const ShowPart showParts[showPartCount] = {
    {titleStreamsWindow.start, "Title"},   {blindsMaskWindow.start, "Blinds"},   {warpOverlayWindow.start, "Meadow"},
    {blobOrbitWindow.start, "Orbit"},      {factoryRewindWindow.start, "Factory"}, {cubeCreditsWindow.start, "Credits"},
    {robotCoreWindow.start, "Robot"},      {finaleSphereWindow.start, "Sphere"}, {closingWindow.start, "Logo"},
};

int showPartAt(double t)
{
    int part = 0;
    while (part + 1 < showPartCount && t >= showParts[part + 1].start) ++part;
    return part;
}

const char* const musicFile = "little.mp3";
const char* const waitScreenFile = "w8scr.jpg";

std::vector<std::string> packFileNames()
{
    std::vector<std::string> names = {musicFile, waitScreenFile};
    names.insert(names.end(), std::begin(sceneFiles), std::end(sceneFiles));
    return names;
}

const float beatTimes[beatCount] = {
    10.362539f, 11.312267f, 12.846168f, 13.913741f, 15.247619f, 16.280907f, 17.648027f, 18.748436f, 25.034468f,
    26.101133f, 27.468481f, 28.452312f, 29.95254f, 30.986849f, 32.38685f, 33.387825f, 34.83769f, 35.854786f,
    37.088528f, 38.222336f, 39.675465f, 40.708572f, 42.041317f, 43.140793f, 49.576645f, 50.610817f, 51.86077f,
    52.911724f, 54.44517f, 55.395966f, 56.795918f, 57.82957f, 59.197685f, 60.230976f, 61.597733f, 62.71474f,
    64.08247f, 65.233444f, 66.51614f, 67.58327f, 68.91757f, 69.98411f, 71.36807f, 72.43522f, 73.80227f,
    74.90268f, 76.23701f, 77.30349f, 78.687416f, 79.82109f, 81.15492f, 82.222496f, 93.494514f, 94.49322f,
    95.79406f, 96.84463f, 98.162994f, 99.2283f, 100.66225f, 101.76265f, 103.064285f, 104.18018f, 105.58073f,
    106.68114f, 107.998276f, 109.066414f, 110.40005f, 111.4663f, 112.80106f, 113.91712f, 115.20132f, 116.385826f,
    117.86882f, 118.96952f, 120.30281f, 121.40322f, 127.63909f, 128.60594f, 130.05667f, 131.15706f, 132.37564f,
    133.47542f, 134.85963f, 135.92531f, 137.37605f, 138.5933f, 139.7938f, 140.89383f, 142.1943f, 143.2625f,
    144.62856f, 145.72897f, 147.04617f, 148.07982f, 149.56378f, 150.56453f, 151.96463f, 153.03175f, 154.45184f,
    155.51596f, 157.08318f, 157.88408f, 159.2841f, 160.28435f, 161.73537f, 162.75201f, 164.20255f, 165.15433f,
};
