// How the pack's files come to the program. On a desktop they are all there before it starts.
// In a browser the page fetches them while the program runs, in the order the loading reads
// them (the stages of timeline/demoTimeline.h), and counts the stages whose files are all in
// place; the player then starts the show once its first part is loaded and loads the rest as
// it plays.
#pragma once

// Whether the files arrive while the program runs.
bool platformFilesArriveLate();
// How many of the loading's stages, from the first, have every file in place; every one of
// them where the files do not arrive late.
int platformStagesArrived();
// Whether the pack's file of that name is in place.
bool platformPackFileArrived(const char* name);
