#include "image/heifpicture.h"

#include "image/colourconversion.h"
#include "image/heifdemand.h"
#include "image/picturememory.h"

#include <libheif/heif.h>

#include <memory>

namespace mosaiq {

namespace {

    // No side of a picture we accept is longer; libheif refuses larger ones before decoding.
    constexpr int MaxSide = 1 << 16;
    constexpr size_t MaxProfileBytes = 16 * 1024 * 1024;
    // A grid's tiles cover its area once, with some overhang; an overlay's inputs lie within
    // its canvas. A picture within the limit never needs this many pixels filled in all.
    constexpr qint64 MaxDecodingPerPixel = 4;

    template <typename T, void (*Free)(T*)> struct Deleter {
        void operator()(T* p) const { Free(p); }
    };
    void releaseHandle(heif_image_handle* handle)
    {
        heif_image_handle_release(handle);
    }
    void releaseImage(heif_image* image)
    {
        heif_image_release(image);
    }
    using Context = std::unique_ptr<heif_context, Deleter<heif_context, heif_context_free>>;
    using Handle = std::unique_ptr<heif_image_handle, Deleter<heif_image_handle, releaseHandle>>;
    using Image = std::unique_ptr<heif_image, Deleter<heif_image, releaseImage>>;
    using Options = std::unique_ptr<heif_decoding_options,
        Deleter<heif_decoding_options, heif_decoding_options_free>>;

    PictureError errorOf(const heif_error& error)
    {
        if (error.subcode == heif_suberror_Security_limit_exceeded
            || error.code == heif_error_Memory_allocation_error)
            return PictureError::TooLarge;
        if (error.code == heif_error_Unsupported_filetype)
            return PictureError::NotAPicture;
        return PictureError::Damaged;
    }

    // The picture's colour profile, as ICC bytes: its own, or one made from its code points.
    QByteArray profileOf(const heif_image_handle* handle)
    {
        const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
        if (type == heif_color_profile_type_prof || type == heif_color_profile_type_rICC) {
            const size_t size = heif_image_handle_get_raw_color_profile_size(handle);
            if (size == 0 || size > MaxProfileBytes)
                return {};
            QByteArray profile(qsizetype(size), Qt::Uninitialized);
            if (heif_image_handle_get_raw_color_profile(handle, profile.data()).code
                != heif_error_Ok)
                return {};
            return profile;
        }
        if (type == heif_color_profile_type_nclx) {
            // libheif may hand out the description with an error (values outside H.273's
            // tables), and it is ours to free either way.
            heif_color_profile_nclx* nclx = nullptr;
            const bool read
                = heif_image_handle_get_nclx_color_profile(handle, &nclx).code == heif_error_Ok;
            QByteArray profile;
            if (read && nclx)
                profile = ColourConversion::profileFromCodePoints(
                    int(nclx->color_primaries), int(nclx->transfer_characteristics));
            if (nclx)
                heif_nclx_color_profile_free(nclx);
            return profile;
        }
        return {};
    }

} // namespace

bool looksLikeHeif(const QByteArray& head)
{
    if (head.size() < 12)
        return false;
    const heif_filetype_result result
        = heif_check_filetype(reinterpret_cast<const uint8_t*>(head.constData()), int(head.size()));
    return result == heif_filetype_yes_supported || result == heif_filetype_yes_unsupported;
}

QImage readHeif(const QByteArray& file, qint64 maxPixels, PictureError& error, QString& detail)
{
    error = PictureError::None;
    auto fail = [&](const heif_error& reason) {
        error = errorOf(reason);
        detail = QString::fromUtf8(reason.message);
        return QImage();
    };
    const HeifDemand demand
        = heifDemand(reinterpret_cast<const unsigned char*>(file.constData()), size_t(file.size()));
    if (demand.malformed) {
        error = PictureError::Damaged;
        return {};
    }
    if (demand.largestImage > maxPixels
        || demand.costliestDecoding / MaxDecodingPerPixel > maxPixels) {
        error = PictureError::TooLarge;
        return {};
    }
    Context context(heif_context_alloc());
    if (!context) {
        error = PictureError::TooLarge;
        return {};
    }
    heif_context_set_maximum_image_size_limit(context.get(), MaxSide);
    heif_error status = heif_context_read_from_memory_without_copy(
        context.get(), file.constData(), size_t(file.size()), nullptr);
    if (status.code != heif_error_Ok)
        return fail(status);
    heif_image_handle* rawHandle = nullptr;
    status = heif_context_get_primary_image_handle(context.get(), &rawHandle);
    Handle handle(rawHandle);
    if (status.code != heif_error_Ok)
        return fail(status);
    const qint64 width = heif_image_handle_get_width(handle.get());
    const qint64 height = heif_image_handle_get_height(handle.get());
    if (width <= 0 || height <= 0) {
        error = PictureError::Damaged;
        return {};
    }
    if (width * height > maxPixels) {
        error = PictureError::TooLarge;
        return {};
    }
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get());
    const bool premultiplied = alpha && heif_image_handle_is_premultiplied_alpha(handle.get());

    Options options(heif_decoding_options_alloc());
    options->convert_hdr_to_8bit = 1;
    heif_image* rawImage = nullptr;
    status = heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB,
        alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get());
    Image image(rawImage);
    if (status.code != heif_error_Ok)
        return fail(status);
    int stride = 0;
    const uint8_t* plane
        = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int decodedWidth = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int decodedHeight = heif_image_get_height(image.get(), heif_channel_interleaved);
    // The turns and crop give other sides, never more pixels than announced.
    if (!plane || decodedWidth <= 0 || decodedHeight <= 0
        || qint64(decodedWidth) * decodedHeight > width * height
        || heif_image_get_bits_per_pixel(image.get(), heif_channel_interleaved)
            != (alpha ? 32 : 24)) {
        error = PictureError::Damaged;
        return {};
    }

    const QByteArray profile = profileOf(handle.get());
    if (!alpha) {
        // The usual case, a photo: converted (or only reordered) straight into the picture.
        QImage picture = allocatePicture(decodedWidth, decodedHeight);
        if (picture.isNull()) {
            error = PictureError::TooLarge;
            return {};
        }
        const ColourConversion conversion(profile, ColourConversion::Layout::Rgb24);
        if (!profile.isEmpty() && conversion.isValid()) {
            picture.fill(Qt::white); // the alpha bytes, which the conversion leaves alone
            conversion.convert(
                plane, stride, picture.bits(), picture.bytesPerLine(), decodedWidth, decodedHeight);
            return picture;
        }
        for (int y = 0; y < decodedHeight; ++y) {
            const uint8_t* from = plane + qsizetype(y) * stride;
            auto* to = reinterpret_cast<QRgb*>(picture.scanLine(y));
            for (int x = 0; x < decodedWidth; ++x, from += 3)
                to[x] = qRgb(from[0], from[1], from[2]);
        }
        return picture;
    }
    const QImage view(plane, decodedWidth, decodedHeight, stride,
        premultiplied ? QImage::Format_RGBA8888_Premultiplied : QImage::Format_RGBA8888);
    QImage converted = view.convertToFormat(QImage::Format_ARGB32);
    if (converted.isNull()) {
        error = PictureError::TooLarge;
        return {};
    }
    if (!profile.isEmpty()) {
        const ColourConversion conversion(profile, ColourConversion::Layout::Rgb32);
        uchar* bits = converted.bits();
        conversion.convert(bits, converted.bytesPerLine(), bits, converted.bytesPerLine(),
            decodedWidth, decodedHeight);
    }
    return converted;
}

} // namespace mosaiq
