-- params: Num_Container, Tab_Tipo_Container_ID, Usuario_internet_id
-- Registers a container reported by a closing and answers its id. Two closings
-- may register the same new number at the same moment: both looked it up
-- before either wrote it. The number is unique in the register, so the second
-- one finds the row the first created and takes it, with the type it reports,
-- as a type update would. A container reported without a type is registered
-- without one.
--
-- Answers retorno 0 and container_id, or 1 with the reason in Msg_Ret and
-- nothing written. The first refusal found, in the order below, is the one
-- answered.
--
-- A new container takes the next id after the highest one, as the embedded
-- register gives it. The lookup and that highest id are read with locks, so
-- they see what other closings committed meanwhile; the insert that loses a
-- race for the number or for the id (duplicate key) is tried again from the
-- lookup, which then finds the other closing's row.
--
-- Called on its own (autocommit on, no transaction open), the procedure is a
-- transaction of its own. Called inside a transaction of the caller, it joins
-- it behind a savepoint: a failure undoes its own work alone, and the caller
-- commits or rolls back the rest.
CREATE PROCEDURE SP_VLM_INC_CONTAINER_OS_FECHA2(IN p_Num_Container TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                                IN p_Tab_Tipo_Container_ID INT,
                                                IN p_Usuario_internet_id INT)
  MODIFIES SQL DATA
BEGIN
  DECLARE v_recusa TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin;
  DECLARE v_numero TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_bin DEFAULT UPPER_ASCII(TRIM(p_Num_Container));
  DECLARE v_container_id INT;
  DECLARE v_duplicado BOOLEAN;
  DECLARE v_tipo, v_usuario BOOLEAN;
  DECLARE v_own_transaction BOOLEAN DEFAULT @@autocommit = 1 AND @@in_transaction = 0;
  DECLARE EXIT HANDLER FOR SQLEXCEPTION
  BEGIN
    IF v_own_transaction THEN
      ROLLBACK;
    ELSEIF @@in_transaction = 1 THEN
      ROLLBACK TO SAVEPOINT SP_VLM_INC_CONTAINER_OS_FECHA2;
    END IF;
    RESIGNAL;
  END;

  IF v_own_transaction THEN
    START TRANSACTION;
  ELSE
    SAVEPOINT SP_VLM_INC_CONTAINER_OS_FECHA2;
  END IF;

  SELECT EXISTS (SELECT 1 FROM TAB_TIPO_CONTAINER WHERE TAB_TIPO_CONTAINER_ID = p_Tab_Tipo_Container_ID),
         EXISTS (SELECT 1 FROM USUARIO_INTERNET WHERE USUARIO_INTERNET_ID = p_Usuario_internet_id)
    INTO v_tipo, v_usuario;

  IF COALESCE(TRIM(p_Num_Container), '') = '' THEN
    SET v_recusa = 'Informe o número do container.';
  ELSEIF p_Tab_Tipo_Container_ID IS NOT NULL AND NOT v_tipo THEN
    SET v_recusa = CONCAT('Tipo de container não cadastrado: ', p_Tab_Tipo_Container_ID, '.');
  ELSEIF p_Usuario_internet_id IS NOT NULL AND NOT v_usuario THEN
    SET v_recusa = CONCAT('Usuário não cadastrado: ', p_Usuario_internet_id, '.');
  END IF;

  IF v_recusa IS NULL THEN
    registro: LOOP
      SELECT MAX(CONTAINER_ID) INTO v_container_id
        FROM CONTAINER
       WHERE NUM_CONTAINER = v_numero COLLATE utf8mb4_general_ci
         FOR UPDATE;
      IF v_container_id IS NOT NULL THEN
        UPDATE CONTAINER
           SET DATA_ALTERACAO        = GETDATE(),
               USUARIO_ALTERACAO_ID  = p_Usuario_internet_id,
               TAB_TIPO_CONTAINER_ID = p_Tab_Tipo_Container_ID
         WHERE CONTAINER_ID = v_container_id
           AND p_Tab_Tipo_Container_ID IS NOT NULL
           AND NOT (TAB_TIPO_CONTAINER_ID <=> p_Tab_Tipo_Container_ID);
        LEAVE registro;
      END IF;
      SET v_duplicado = FALSE;
      BEGIN
        DECLARE CONTINUE HANDLER FOR 1062 SET v_duplicado = TRUE;
        SELECT COALESCE(MAX(CONTAINER_ID), 0) + 1 INTO v_container_id FROM CONTAINER FOR UPDATE;
        INSERT INTO CONTAINER (CONTAINER_ID, NUM_CONTAINER, TAB_TIPO_CONTAINER_ID, DATA_CADASTRO,
                               USUARIO_CADASTRO_ID)
        VALUES (v_container_id, v_numero, p_Tab_Tipo_Container_ID, GETDATE(), p_Usuario_internet_id);
      END;
      IF NOT v_duplicado THEN
        LEAVE registro;
      END IF;
    END LOOP;
  END IF;

  IF v_own_transaction THEN
    COMMIT;
  ELSE
    RELEASE SAVEPOINT SP_VLM_INC_CONTAINER_OS_FECHA2;
  END IF;

  SELECT CASE WHEN v_recusa IS NULL THEN 0 ELSE 1 END AS retorno,
         v_recusa                                     AS Msg_Ret,
         v_container_id                               AS container_id;
END
