// Which registry the program works on.
#pragma once

// Makes the registry layer's active store the one Quarnel edits.
void SelectRegistryStore();
