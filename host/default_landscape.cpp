#include "host/default_landscape.h"

// A fractal valley: grass on gentle slopes and low ground, rock on steep slopes and high
// ground, a lake, a sun with soft shadows, a sky with sun glow, one cloud layer, and a
// thin fog that fades the distance into the sky's horizon colour.
const char* const DefaultLandscapeText = R"json(
{
  "Environment": { "PictureWidth": 640, "PictureHeight": 480, "RenderSetting": 1 },
  "SkyTint": [1, 1, 1],
  "LightColour": [1, 0.97, 0.9],
  "SkyColours": [ { "pos": 0, "clr": [200, 215, 240] }, { "pos": 10000, "clr": [45, 95, 190] } ],
  "SunColours": [ { "pos": 0, "clr": [255, 255, 235] }, { "pos": 10000, "clr": [255, 225, 160] } ],
  "GradientBase": 0, "GradientThickness": 30000000,
  "HazeHeight": 5000000, "HazeStrength": 1,
  "SunDiscCos": 0.9996, "GlowStrength": 0.5, "GlowCos": 0.96,
  "FogDensity": 0.0007, "HazeColour": [205, 215, 235],
  "CloudShadow": 0.3,
  "Materials": [
    {
      "Name": "Grass and rock",
      "MaterialKind": 1, "EnvironmentInfluence": true, "InvertSlope": true,
      "SlopeInfluence": 0.8, "AltitudeInfluence": 0.4, "MixThreshold": 0.7, "MixWidth": 0.15,
      "Material1": {
        "Name": "Grass", "ColourSource": 0,
        "ColourFunction": { "Layers": [ { "Kind": 1, "Scale": [6, 6, 6], "Fractal": true, "Octaves": 4 } ] },
        "Colours": [ { "pos": 0, "clr": [45, 85, 30] }, { "pos": 10000, "clr": [105, 140, 60] } ]
      },
      "Material2": {
        "Name": "Rock", "ColourSource": 0,
        "ColourFunction": { "Layers": [ { "Kind": 1, "Scale": [3, 3, 3], "Fractal": true, "Octaves": 3 } ] },
        "Colours": [ { "pos": 0, "clr": [95, 88, 80] }, { "pos": 10000, "clr": [150, 140, 128] } ]
      }
    },
    {
      "Name": "Water", "ColourSource": 0,
      "Colours": [ { "pos": 10000, "clr": [25, 55, 85] } ],
      "Reflection": { "Amount": 0.5 },
      "Specular": { "Intensity": 0.8, "Sharpness": 0.8 }
    }
  ],
  "CloudLayers": [
    { "Altitude": 1500,
      "Material": { "Name": "Clouds", "ColourSource": 0,
        "ColourFunction": { "Layers": [ { "Kind": 1, "Scale": [0.3, 0.3, 0.3], "Fractal": true, "Octaves": 5 } ] },
        "Colours": [ { "pos": 0, "clr": [255, 255, 255] }, { "pos": 10000, "clr": [255, 255, 255] } ],
        "Transparency": { "Variable": true, "Amount": 1,
          "Function": { "Layers": [ { "Kind": 1, "Scale": [0.3, 0.3, 0.3], "Fractal": true, "Octaves": 5 } ] },
          "Filter1": { "Bypass": false, "Keys": [ { "Linear": { "pos": 0, "val": 0 } }, { "Linear": { "pos": 4500, "val": 0 } },
                                                 { "Linear": { "pos": 6000, "val": 10000 } }, { "Linear": { "pos": 10000, "val": 10000 } } ] } } } }
  ],
  "Objects": [
    { "type": "Terrain", "name": "Valley", "material": 0, "width": 257, "height": 257, "AltitudeScale": 1400,
      "Function": { "Layers": [ { "Kind": 1, "Scale": [60, 60, 60], "Fractal": true, "Octaves": 6 } ] },
      "sizes": [4, 4, 4] },
    { "type": "InfinitePlane", "name": "Lake", "material": 1, "centre": [0, 0, 170] },
    { "type": "DirectionalLight", "name": "Sun", "Direction": [-1, 1, -0.7], "Softness": 0.01 },
    { "type": "Camera", "centre": [-100, -520, 480], "Direction": [0.15, 1, -0.12], "FocalLength": 26 }
  ]
}
)json";
