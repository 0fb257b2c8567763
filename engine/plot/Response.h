// The environment response shapes: which numbers name a shape, and the refusal of an
// unknown one, shared by run set-up and the species file.
#pragma once

#include <cstdint>

#include "Settings.h"

namespace glebix {

constexpr bool IsKnownResponseShape(std::int32_t shape) { return shape >= 0 && shape < ResponseShapeCount; }

// Where a shape comes from; the species file's refusal says so.
enum class ShapeSource { Settings, SpeciesFile };

// Raises "Forme de la réponse au milieu inconnue[ dans le fichier] : N (valeurs
// admises : 0, 1 ou 2)" unless `shape` is known.
void CheckResponseShape(std::int32_t shape, ShapeSource source);

}  // namespace glebix
