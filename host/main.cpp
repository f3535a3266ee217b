#include "host/demoHost.h"

int main() { return runDemo(); }
