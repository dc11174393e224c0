/* Encodes a binary PPM (P6) as a lossless RGB HEIC or AVIF whose own transformation boxes
 * (irot, imir) carry an orientation, with an EXIF block saying the same, as phones write:
 *   cc makeheif.c -lheif -o makeheif && ./makeheif in.ppm out.heic ORIENTATION [avif]
 * A reader applies the boxes only; the EXIF orientation inside a HEIF file is not applied again.
 */
#include <libheif/heif.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv)
{
    int width, height, max, stride, y;
    FILE* in;
    struct heif_image* image;
    struct heif_context* context;
    struct heif_encoder* encoder;
    struct heif_encoding_options* options;
    struct heif_color_profile_nclx* nclx;
    struct heif_image_handle* handle;
    uint8_t* plane;
    unsigned char exif[26] = { 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0, 3, 0, 0, 0, 1 };
    if (argc < 4 || !(in = fopen(argv[1], "rb")))
        return 2;
    if (fscanf(in, "P6 %d %d %d", &width, &height, &max) != 3 || max != 255)
        return 2;
    fgetc(in);
    heif_image_create(width, height, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image);
    heif_image_add_plane(image, heif_channel_interleaved, width, height, 8);
    plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (y = 0; y < height; ++y)
        if (fread(plane + y * stride, 3, (size_t)width, in) != (size_t)width)
            return 2;
    fclose(in);
    context = heif_context_alloc();
    heif_context_get_encoder_for_format(
        context, argc > 4 ? heif_compression_AV1 : heif_compression_HEVC, &encoder);
    heif_encoder_set_lossless(encoder, 1);
    heif_encoder_set_parameter(encoder, "chroma", "444");
    nclx = heif_nclx_color_profile_alloc();
    nclx->matrix_coefficients = heif_matrix_coefficients_RGB_GBR;
    nclx->full_range_flag = 1;
    options = heif_encoding_options_alloc();
    options->output_nclx_profile = nclx;
    options->image_orientation = (enum heif_orientation)atoi(argv[3]);
    if (heif_context_encode_image(context, image, encoder, options, &handle).code != heif_error_Ok)
        return 1;
    exif[19] = (unsigned char)atoi(argv[3]); /* the value of the one tag, Orientation */
    heif_context_add_exif_metadata(context, handle, exif, sizeof exif);
    return heif_context_write_to_file(context, argv[2]).code == heif_error_Ok ? 0 : 1;
}
