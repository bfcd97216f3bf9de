// The nine scenes in playing order. Each draws one whole frame per call, advances its own phase
// machine by frameTime, and raises sceneIndex when it is done.
#pragma once

void scene1();  // the opening model turns in and fades to black
void scene2();  // the six title words rise and recede
void scene3();  // figure over the sand with guns and car, fade to white
void scene4();  // turning oil field with a character and a rising bubble
void scene5();  // scrolling desert with speech bubble
void scene6();  // spinning credits
void scene7();  // cube wall with spinning props
void scene8();  // night oasis with text scroll
void scene9();  // final text scroll
