#include "FocusMeasure.h"

#include <cstddef>
#include <vector>

double FocusMeasure::of(const QImage &picture)
{
    const QImage rgba = picture.convertToFormat(QImage::Format_RGBA8888);
    const int width = rgba.width();
    const int height = rgba.height();
    if (width < 3 || height < 3)
        return 0.0;

    std::vector<int> luma(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y) {
        const uchar *row = rgba.constScanLine(y);
        int *out = luma.data() + std::size_t(y) * std::size_t(width);
        for (int x = 0; x < width; ++x) {
            const uchar *pixel = row + std::ptrdiff_t(4) * x;
            out[x] = (77 * pixel[0] + 150 * pixel[1] + 29 * pixel[2]) >> 8;
        }
    }

    // The four-neighbour Laplacian over the interior, and the variance of its values.
    double sum = 0.0;
    double squares = 0.0;
    const auto at = [&](int x, int y) { return luma[std::size_t(y) * std::size_t(width) + std::size_t(x)]; };
    for (int y = 1; y < height - 1; ++y) {
        for (int x = 1; x < width - 1; ++x) {
            const double laplacian = 4 * at(x, y) - at(x - 1, y) - at(x + 1, y) - at(x, y - 1) - at(x, y + 1);
            sum += laplacian;
            squares += laplacian * laplacian;
        }
    }
    const double count = double(width - 2) * double(height - 2);
    const double mean = sum / count;
    return squares / count - mean * mean;
}
