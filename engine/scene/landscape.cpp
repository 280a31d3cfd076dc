#include "engine/scene/landscape.h"

bool TPaysage::IsLayerActive(unsigned layer) const { return GetLayerStatus(layer) == 2; }

int TPaysage::GetLayerStatus(unsigned layer) const { return layer < LayerCount ? LayerStatus[layer] : 0; }
