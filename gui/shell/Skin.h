#pragma once
// Optional skin images among the program's files: skin/204.png, 205, 216 and 217.
// The video windows paint with 216 and 217 when present; 204 and 205 are
// loaded for skins that carry them. A missing file is not an error.
class QPixmap;

// Needs a QGuiApplication. Loads from skin/ in the asset folder (AssetPath).
void LoadSkinImages();
void FreeSkinImages();
// nullptr when the image is absent or the id is not a skin image.
const QPixmap* SkinImage(int id);
