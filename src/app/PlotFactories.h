#pragma once

class TQuorClientManager;

// Registers with the manager one factory per plot key, so that the plot
// toggles can make the plots, which live in a library above the toggles'.
void RegisterPlotFactories(TQuorClientManager& Manager);
