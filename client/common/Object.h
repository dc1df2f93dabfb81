#pragma once
// The empty common base of the client's long-lived objects.
class Object {
public:
    virtual ~Object() {}
};
