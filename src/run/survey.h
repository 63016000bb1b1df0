// The network survey: scan, list every network, pick the candidates for the
// node loop and report whether the adapter is associated now.
#pragma once

// False when the run ends here ("No networks available. Exiting...").
bool surveyNetworks();
