CorvantaCmdVer 1
VectorSpeed 1000 800 250 500 500 500 500 500 500 500 500 500 500 500 500 500
execute_penselect 1
pu_default 400 400
pd_default 2000 0
pd_default 0 2000
pd_default -2000 0
pd_default 0 -2000
execute_penselect 3
pu_default 2400 0
pd_default 2000 0
pd_default 0 2000
pd_default -2000 0
pd_default 0 -2000
pu_default -2800 -400
