#include "shell/JpegPicture.h"

#include <QFile>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <jpeglib.h>
}

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

extern "C" void onJpegError(j_common_ptr cinfo)
{
    auto *err = reinterpret_cast<ErrorManager *>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings go nowhere: libjpeg would print them to stderr.
extern "C" void onJpegMessage(j_common_ptr) {}

struct RawPicture {
    unsigned char *pixels = nullptr;  // malloc'ed, width * height * 3
    int width = 0;
    int height = 0;
};

// Only trivially destructible objects live between setjmp and a longjmp.
bool decodeRaw(const unsigned char *data, unsigned long size, RawPicture &out, ErrorManager &err)
{
    jpeg_decompress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onJpegError;
    err.pub.output_message = onJpegMessage;
    err.message[0] = '\0';
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        std::free(out.pixels);
        out.pixels = nullptr;
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, const_cast<unsigned char *>(data), size);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;  // grey is expanded, YCbCr converted
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != 3) {
        std::strcpy(err.message, "unsupported colour layout");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    out.width = int(cinfo.output_width);
    out.height = int(cinfo.output_height);
    const size_t stride = size_t(out.width) * 3;
    out.pixels = static_cast<unsigned char *>(std::malloc(stride * size_t(out.height)));
    if (!out.pixels) {
        std::strcpy(err.message, "out of memory");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out.pixels + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

}

QImage DecodeJpeg(const QByteArray &data, QString *error)
{
    if (data.isEmpty()) {
        if (error)
            *error = QStringLiteral("no data");
        return QImage();
    }
    RawPicture raw;
    ErrorManager err;
    if (!decodeRaw(reinterpret_cast<const unsigned char *>(data.constData()), static_cast<unsigned long>(data.size()),
                   raw, err)) {
        if (error)
            *error = QString::fromLatin1(err.message);
        return QImage();
    }
    QImage image(raw.width, raw.height, QImage::Format_RGB888);
    for (int y = 0; y < raw.height; ++y)
        std::memcpy(image.scanLine(y), raw.pixels + size_t(y) * size_t(raw.width) * 3, size_t(raw.width) * 3);
    std::free(raw.pixels);
    return image;
}

QImage LoadJpeg(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return QImage();
    }
    return DecodeJpeg(file.readAll(), error);
}
