// Models are drawn without texture coordinates, so with texturing on, every fragment of a model is
// multiplied by the one colour the bound texture gives at the current texture coordinate. When
// that colour is exactly white the multiplication changes no pixel, yet the software rasteriser
// still samples the texture for every fragment; switching texturing off for the draw spares it.
#pragma once

// True when drawing with texturing off gives exactly the pixels drawing with it on would: unit 0
// modulates by a 2D texture sampled at the origin, and the texels that sample blends are all
// opaque white. Only reads OpenGL state (the texture's pixels once per texture).
bool boundTextureIsNeutral();

// For the scope of a model draw: texturing off when the bound texture is neutral, back on after.
class NeutralTextureOff {
public:
    NeutralTextureOff();
    ~NeutralTextureOff();
    NeutralTextureOff(const NeutralTextureOff&) = delete;
    NeutralTextureOff& operator=(const NeutralTextureOff&) = delete;

private:
    bool switchedOff_;
};
