#pragma once

#include <string>

namespace mosaiq::web {

// The texts of the page in the browser that its script shows (the captions are in its HTML), as
// one JSON object: the name the script uses, then the French text, in UTF-8, with "\n" for a
// line break. "%1", "%2": what the script fills in.
std::string webWordsJson();

// A picture the browser could not read in a format that Mosaiq's window reads: browsers other
// than Safari decode neither HEIF, as phones write their photos, nor TIFF.
inline constexpr const char* HeifUnread
    = "Ce navigateur ne lit pas les images HEIF (HEIC), le format des photos de nombreux "
      "téléphones : enregistrez celle-ci en JPEG ou en PNG, puis choisissez ce fichier.";
inline constexpr const char* TiffUnread
    = "Ce navigateur ne lit pas les images TIFF : enregistrez celle-ci en JPEG ou en PNG, puis "
      "choisissez ce fichier.";

// The size fields, as a refused size names them.
inline constexpr const char* ColumnsField = "la largeur";
inline constexpr const char* RowsField = "la hauteur";
inline const char* sizeFieldName(bool rows)
{
    return rows ? RowsField : ColumnsField;
}

} // namespace mosaiq::web
