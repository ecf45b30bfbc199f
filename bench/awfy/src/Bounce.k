// Bounce of the "Are We Fast Yet" suite (bounce.lua, bounce.h): moves 100
// ball objects, placed and launched by the suite's random numbers, 50 steps
// inside a 500 by 500 box and counts their bounces off the walls. The
// harness's inner loop runs it 1500 times, the suite's own inner
// iterations for it, and checks every count (1331); a wrong one is thrown
// as an exception, which the application logs before it ends. Logs
// "Bounce: ok" at the end.

const INNER_ITERATIONS = 1500;

class Benchmark {
    int benchmark();
    bool verifyResult(int result);

    bool innerBenchmarkLoop(int innerIterations) {
        for (int i = 0; i < innerIterations; i++) {
            if (!this.verifyResult(this.benchmark())) {
                return false;
            }
        }
        return true;
    }
}

class Random {
    int seed;

    int next() {
        this.seed = (this.seed * 1309 + 13849) & 65535;
        return this.seed;
    }
}

Random newRandom() {
    Random random = new Random();
    random.seed = 74755;
    return random;
}

int abs(int x) {
    if (x < 0) {
        return -x;
    }
    return x;
}

class Ball {
    int x;
    int y;
    int xVel;
    int yVel;

    bool bounce() {
        int xLimit = 500;
        int yLimit = 500;
        bool bounced = false;
        this.x += this.xVel;
        this.y += this.yVel;
        if (this.x > xLimit) {
            this.x = xLimit;
            this.xVel = 0 - abs(this.xVel);
            bounced = true;
        }
        if (this.x < 0) {
            this.x = 0;
            this.xVel = abs(this.xVel);
            bounced = true;
        }
        if (this.y > yLimit) {
            this.y = yLimit;
            this.yVel = 0 - abs(this.yVel);
            bounced = true;
        }
        if (this.y < 0) {
            this.y = 0;
            this.yVel = abs(this.yVel);
            bounced = true;
        }
        return bounced;
    }
}

Ball newBall(Random random) {
    Ball ball = new Ball();
    ball.x = random.next() % 500;
    ball.y = random.next() % 500;
    ball.xVel = random.next() % 300 - 150;
    ball.yVel = random.next() % 300 - 150;
    return ball;
}

class Bounce extends Benchmark {
    int benchmark() {
        Random random = newRandom();
        int ballCount = 100;
        int bounces = 0;
        Ball[] balls = new Ball[ballCount];
        for (int i = 0; i < ballCount; i++) {
            balls[i] = newBall(random);
        }
        for (int i = 0; i < 50; i++) {
            for (int j = 0; j < balls.length; j++) {
                Ball ball = balls[j];
                if (ball.bounce()) {
                    bounces++;
                }
            }
        }
        return bounces;
    }

    bool verifyResult(int result) {
        return result == 1331;
    }
}

void main() {
    Bounce benchmark = new Bounce();
    if (!benchmark.innerBenchmarkLoop(INNER_ITERATIONS)) {
        fail("Bounce: wrong result");
    }
    log("Bounce: ok");
    exit();
}
